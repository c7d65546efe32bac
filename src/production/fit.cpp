#include "production/fit.hpp"

#include "base/utility.hpp"
#include "gif/decoder.hpp"
#include "production/frame_size.hpp"
#include "raster/pixel.hpp"
#include "raster/resample.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace zoetra {

namespace {

constexpr std::array places{
    fit_place{"slack-emoji", 128, 128, 128 * 1024, "a custom emoji in Slack (128 KB)"},
    fit_place{"discord-emoji", 128, 128, 256 * 1024, "a custom emoji in Discord (256 KB)"},
    fit_place{"discord-sticker", 320, 320, 512 * 1024, "a sticker in Discord (512 KB)"},
    fit_place{"upload-10m", 0, 0, 10 * 1024 * 1024,
              "an upload to Discord or GitHub (10 MB), the frame as chosen"},
};

// The lossy levels tried, from none to strong, and the colour counts. Fine
// colours, dithered or not, are settled once per colour count and only coded
// again at each level, so they take the finer steps; the standard colours,
// written anew for each, the coarser.
constexpr std::array lossy_levels{0, 20, 40, 60, 80, 100, 130, 160, 200};
constexpr std::array standard_lossy_levels{0, 40, 100, 200};
constexpr std::array colour_counts{256, 64, 16, 8};

// A PSNR for frames without any error: finite, above any real one.
constexpr double no_error_psnr = 99;

int channel_error(pixel a, pixel b) {
    int sum = 0;
    for (int shift : {16, 8, 0}) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        sum += d * d;
    }
    return sum;
}

// Adds frame's error against shown (the same size) to the sums.
void add_error(buffer& frame, buffer& shown, double& squared, std::uint64_t& samples) {
    buffer_lock hold_frame(frame), hold_shown(shown);
    const pixel* a = frame.pixels();
    const pixel* b = shown.pixels();
    const std::size_t count = std::size_t(frame.width()) * frame.height();
    constexpr int largest = 3 * 255 * 255;
    for (std::size_t i = 0; i < count; ++i) {
        const bool clear_a = (a[i] & transparent_flag) != 0;
        const bool clear_b = (b[i] & transparent_flag) != 0;
        if (clear_a && clear_b)
            continue;
        squared += clear_a != clear_b ? largest : channel_error(a[i], b[i]);
        samples += 3;
    }
}

// Every variant the allowances give, the base first.
std::vector<frame_variant> variants(const frame_variant& base, bool shrink, bool drop) {
    std::vector<gif_size> frames{base.frame};
    if (shrink)
        for (int quarters : {3, 2}) {
            const gif_size smaller{
                std::uint16_t(std::max(min_frame_side, base.frame.width * quarters / 4)),
                std::uint16_t(std::max(min_frame_side, base.frame.height * quarters / 4))};
            if (!(smaller == frames.back()))
                frames.push_back(smaller);
        }
    std::vector<int> steps{1};
    if (drop)
        for (int step : {2, 4})
            if (base.frames / step >= 1 && (base.frames + step - 1) / step < base.frames)
                steps.push_back(step);
    std::vector<frame_variant> list;
    for (const gif_size& frame : frames)
        for (int step : steps)
            list.push_back(frame_variant{frame, (base.frames + step - 1) / step,
                                         std::min(base.delay * step, 60.0)});
    return list;
}

// The file a candidate gives, in memory. One writer serves every candidate:
// it makes its coders' tables once.
result<std::vector<std::uint8_t>> write_candidate(gif_writer& writer,
                                                  const gif_encode_options& coding,
                                                  std::span<buffer* const> frames,
                                                  const frame_variant& variant,
                                                  const fit_frames& source) {
    gif_encode_options options = coding;
    options.kept = source.kept;
    writer.set_options(options);
    writer.on_progress = [&source](const std::string&) {
        if (source.on_frame)
            source.on_frame();
    };
    const crop_size crop{variant.frame.width, variant.frame.height};
    if (outcome opened = writer.open_in_memory(crop_origin{}, crop, source.loop_count); !opened)
        return opened;
    if (source.delays) {
        const std::vector<std::uint16_t> delays = source.delays();
        writer.write_frames(frames, crop_origin{}, crop, delays);
    } else {
        writer.write_frames(frames, crop_origin{}, crop, gif_delay_from_seconds(variant.delay));
    }
    if (outcome closed = writer.close(); !closed)
        return closed;
    return writer.memory_file();
}

// The size of the frames of a variant, as made.
gif_size made_size(std::span<buffer* const> frames, const frame_variant& variant) {
    if (frames.empty())
        return variant.frame;
    return gif_size{frames[0]->width(), frames[0]->height()};
}

} // namespace

result<std::uint32_t> parse_byte_size(std::string_view text) {
    if (text.empty())
        return outcome::failure("a size in bytes, KB or MB is missing");
    double unit = 1;
    const char last = char(std::toupper(static_cast<unsigned char>(text.back())));
    if (last == 'K' || last == 'M') {
        unit = last == 'K' ? 1024.0 : 1024.0 * 1024.0;
        text.remove_suffix(1);
    }
    const std::string digits(text);
    const bool plain = !digits.empty() &&
                       digits.find_first_not_of("0123456789.") == std::string::npos &&
                       std::count(digits.begin(), digits.end(), '.') <= 1;
    const double value = plain ? read_number(digits) * unit : 0;
    if (!plain || !std::isfinite(value) || value < 1024 || value > 1024.0 * 1024 * 1024)
        return outcome::failure(format("\"%s%s\" is not a size from 1K to 1024M", digits.c_str(),
                                       unit == 1 ? "" : (unit == 1024 ? "K" : "M")));
    return std::uint32_t(value);
}

std::span<const fit_place> fit_places() {
    return places;
}

const fit_place* find_fit_place(std::string_view name) {
    for (const fit_place& place : places)
        if (same_name(name, place.name))
            return &place;
    return nullptr;
}

std::vector<gif_encode_options> coding_candidates() {
    std::vector<gif_encode_options> list;
    // Per colour count, each way of choosing the colours through its lossy
    // levels: consecutive fine candidates share what was settled.
    auto add = [&list](colour_mode mode, bool dither, int colours, std::span<const int> levels) {
        for (int lossy : levels) {
            gif_encode_options options;
            options.colours = mode;
            options.optimize = mode == colour_mode::standard;
            options.dither = dither;
            options.colours_max = colours;
            options.lossy = lossy;
            list.push_back(options);
        }
    };
    for (int colours : colour_counts) {
        add(colour_mode::fine, true, colours, lossy_levels);
        add(colour_mode::fine, false, colours, lossy_levels);
        add(colour_mode::standard, true, colours, standard_lossy_levels);
    }
    return list;
}

result<double> animation_psnr(std::span<const std::uint8_t> file, std::span<buffer* const> frames) {
    gif_reader reader;
    if (outcome opened = reader.open_bytes(file.data(), file.size()); !opened)
        return opened;
    std::vector<std::unique_ptr<buffer>> shown;
    while (auto frame = reader.read_frame())
        shown.push_back(std::move(frame));
    if (!reader.failure().empty())
        return outcome::failure(reader.failure());
    if (shown.empty())
        return outcome::failure("the file holds no frame");
    double squared = 0;
    std::uint64_t samples = 0;
    std::unique_ptr<buffer> enlarged;
    std::size_t enlarged_from = shown.size();
    for (std::size_t k = 0; k < frames.size(); ++k) {
        buffer& made = *frames[k];
        // Frame k of n shows as frame k x m / n of the m frames kept.
        const std::size_t j = std::min(shown.size() - 1, k * shown.size() / frames.size());
        buffer* seen = shown[j].get();
        if (seen->width() != made.width() || seen->height() != made.height()) {
            if (enlarged_from != j) {
                buffer_lock hold(*seen);
                enlarged = resample(*seen, made.width(), made.height());
                enlarged_from = j;
            }
            seen = enlarged.get();
        }
        add_error(made, *seen, squared, samples);
    }
    if (samples == 0 || squared <= 0)
        return no_error_psnr;
    const double mse = squared / double(samples);
    return std::min(no_error_psnr, 10 * std::log10(255.0 * 255.0 / mse));
}

namespace {

// Measures the codings of one variant into the survey.
outcome measure_variant(const frame_variant& variant, std::span<const gif_encode_options> codings,
                        std::span<buffer* const> reference, fit_frames& source, gif_writer& writer,
                        fit_survey& survey, const std::string& progress) {
    result<std::vector<buffer*>> made = source.make(variant);
    if (!made)
        return outcome::failure(made.message());
    frame_variant as_made = variant;
    as_made.frame = made_size(made.value(), variant);
    // The codings that differ only in the lossy level share the colours
    // settled for these frames; the next variant's frames are others.
    writer.reuse_settled_colours(true);
    struct stop_reusing {
        gif_writer& writer;
        ~stop_reusing() { writer.reuse_settled_colours(false); }
    } stop{writer};
    for (std::size_t c = 0; c < codings.size(); ++c) {
        if (source.on_progress)
            source.on_progress(
                format("%s, coding %zu of %zu.", progress.c_str(), c + 1, codings.size()));
        result<std::vector<std::uint8_t>> file =
            write_candidate(writer, codings[c], made.value(), as_made, source);
        if (!file)
            return outcome::failure(file.message());
        result<double> psnr = animation_psnr(file.value(), reference);
        if (!psnr)
            return outcome::failure(psnr.message());
        survey.entries.push_back({fit_candidate{as_made, codings[c]},
                                  fit_measure{std::uint32_t(file.value().size()), psnr.value()}});
    }
    return outcome::success();
}

bool allowed(const fit_candidate& candidate, const fit_survey& survey, const fit_request& request) {
    return (request.may_shrink || candidate.variant.frame == survey.base.frame) &&
           (request.may_drop_frames || candidate.variant.frames == survey.base.frames);
}

// Keeps copies of the frames as asked for while other variants are made.
struct reference_frames {
    std::vector<std::unique_ptr<buffer>> copies;
    std::vector<buffer*> list;
};

result<reference_frames> take_reference(const frame_variant& base, fit_frames& source) {
    result<std::vector<buffer*>> made = source.make(base);
    if (!made)
        return outcome::failure(made.message());
    reference_frames kept;
    for (buffer* frame : made.value()) {
        buffer_lock hold(*frame);
        kept.copies.push_back(frame->copy());
        kept.list.push_back(kept.copies.back().get());
    }
    return kept;
}

} // namespace

result<fit_survey> survey_candidates(const frame_variant& base, bool shrink, bool drop_frames,
                                     fit_frames& source) {
    result<reference_frames> reference = take_reference(base, source);
    if (!reference)
        return outcome::failure(reference.message());
    const std::vector<gif_encode_options> codings = coding_candidates();
    const std::vector<frame_variant> all = variants(base, shrink, drop_frames);
    fit_survey survey{base, {}};
    gif_writer writer;
    for (std::size_t v = 0; v < all.size(); ++v)
        if (outcome measured =
                measure_variant(all[v], codings, reference.value().list, source, writer, survey,
                                format("Measuring frames %zu of %zu", v + 1, all.size()));
            !measured)
            return outcome::failure(measured.message());
    return survey;
}

fit_outcome choose_candidate(const fit_survey& survey, const fit_request& request) {
    fit_outcome found;
    found.smallest = UINT32_MAX;
    for (const fit_survey::entry& e : survey.entries) {
        if (!allowed(e.candidate, survey, request))
            continue;
        found.smallest = std::min(found.smallest, e.measure.bytes);
        if (e.measure.bytes > request.limit)
            continue;
        const bool better =
            !found.fits || e.measure.psnr > found.measure.psnr ||
            (e.measure.psnr == found.measure.psnr && e.measure.bytes < found.measure.bytes);
        if (better) {
            found.fits = true;
            found.chosen = e.candidate;
            found.measure = e.measure;
        }
    }
    if (found.smallest == UINT32_MAX)
        found.smallest = 0;
    return found;
}

result<fit_outcome> fit_under(const fit_request& request, const frame_variant& base,
                              fit_frames& source) {
    result<fit_survey> survey =
        survey_candidates(base, request.may_shrink, request.may_drop_frames, source);
    if (!survey)
        return outcome::failure(survey.message());
    fit_outcome found = choose_candidate(survey.value(), request);
    if (found.fits)
        return found;
    // Nothing fits: would an allowance that was not given help? Its
    // strongest coding says.
    result<reference_frames> reference = take_reference(base, source);
    if (!reference)
        return outcome::failure(reference.message());
    const gif_encode_options strongest = coding_candidates().back();
    gif_writer writer;
    auto smallest_of = [&](const frame_variant& variant) -> result<std::uint32_t> {
        fit_survey one{base, {}};
        if (outcome measured =
                measure_variant(variant, std::span(&strongest, 1), reference.value().list, source,
                                writer, one, "Measuring what an allowance would give");
            !measured)
            return outcome::failure(measured.message());
        return one.entries.front().measure.bytes;
    };
    // The strongest variant of an allowance not given, when it differs.
    auto measure_allowance = [&](bool given, bool shrink, bool drop, std::uint32_t& smallest) {
        const frame_variant v = variants(base, shrink, drop).back();
        if (given || v == base)
            return outcome::success();
        result<std::uint32_t> bytes = smallest_of(v);
        if (!bytes)
            return outcome::failure(bytes.message());
        smallest = bytes.value();
        return outcome::success();
    };
    if (outcome shrunk = measure_allowance(request.may_shrink, true, false, found.smallest_shrunk);
        !shrunk)
        return shrunk;
    if (outcome fewer =
            measure_allowance(request.may_drop_frames, false, true, found.smallest_fewer_frames);
        !fewer)
        return fewer;
    return found;
}

std::string fit_option_line(const fit_candidate& chosen, const frame_variant& base) {
    const gif_encode_options& c = chosen.coding;
    std::string line = c.colours == colour_mode::fine ? "--colours fine" : "--colours standard";
    if (c.optimize && c.colours != colour_mode::fine)
        line += " --optimize";
    if (!c.dither && c.colours == colour_mode::fine)
        line += " --no-dither";
    line += format(" --colours-max %d --lossy %d", c.colours_max, c.lossy);
    if (!(chosen.variant.frame == base.frame))
        line += format(" --size %dx%d", chosen.variant.frame.width, chosen.variant.frame.height);
    if (chosen.variant.frames != base.frames)
        line += format(" --frames %d --delay %g", chosen.variant.frames, chosen.variant.delay);
    return line;
}

} // namespace zoetra
