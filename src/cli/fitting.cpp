#include "cli/fitting.hpp"

#include "base/utility.hpp"
#include "production/studio.hpp"

#include <algorithm>

namespace zoetra::cli {

result<std::optional<std::uint32_t>> size_limit(const options& o) {
    if (o.max_bytes) {
        result<std::uint32_t> limit = parse_byte_size(*o.max_bytes);
        if (!limit)
            return outcome::failure("--max-bytes: " + limit.message());
        return std::optional<std::uint32_t>(limit.value());
    }
    if (o.fit_for) {
        const fit_place* place = find_fit_place(*o.fit_for);
        if (place == nullptr) {
            std::string names;
            for (const fit_place& known : fit_places())
                names += std::string(names.empty() ? "" : ", ") + known.name;
            return outcome::failure(format("--for \"%s\" is not one of its places (%s)",
                                           o.fit_for->c_str(), names.c_str()));
        }
        return std::optional<std::uint32_t>(place->limit);
    }
    return std::optional<std::uint32_t>();
}

namespace {

std::vector<buffer*> frames_made(studio& s) {
    std::vector<buffer*> frames;
    const int count = std::min(s.frame_count(), s.stored_frames());
    for (int i = 0; i < count; ++i)
        frames.push_back(&s.stored_frame(i));
    return frames;
}

frame_variant variant_made(studio& s) {
    const rect area = s.canvas().output_area();
    return frame_variant{gif_size{area.width, area.height},
                         std::min(s.frame_count(), s.stored_frames()),
                         s.animation_settings().delay().value(0)};
}

std::string kilobytes(std::uint32_t bytes) {
    return format("%u bytes (%.1f KB)", bytes, bytes / 1024.0);
}

std::string why_nothing_fits(const fit_outcome& found, std::uint32_t limit) {
    std::string text = format("nothing fits under %s: the smallest file these settings give is %s",
                              kilobytes(limit).c_str(), kilobytes(found.smallest).c_str());
    auto allowance = [&](std::uint32_t bytes, const char* option) {
        if (bytes == 0)
            return;
        text += format("; with %s the smallest is %s%s", option, kilobytes(bytes).c_str(),
                       bytes <= limit ? ", which fits" : "");
    };
    allowance(found.smallest_shrunk, "--fit-may-shrink");
    allowance(found.smallest_fewer_frames, "--fit-may-drop-frames");
    return text;
}

} // namespace

result<fit_report> fit_studio(studio& s, std::uint32_t limit, const options& o,
                              const std::function<outcome()>& create,
                              const std::function<void(const std::string&)>& progress) {
    const frame_variant base = variant_made(s);
    const size_choice asked = s.chosen_size();
    basic::CPU& clock = s.frame_clock();
    io::GIFOUT& output = s.animation_settings();
    frame_variant current = base;
    fit_frames source;
    source.loop_count = s.loop_count();
    source.delays = [&s] { return s.frame_delays(); };
    source.kept = s.captions().colours_to_keep();
    source.on_progress = progress;
    source.make = [&](const frame_variant& wanted) -> result<std::vector<buffer*>> {
        if (!(wanted == current)) {
            // The frame as asked for keeps the person's choice (and so its cropping).
            s.set_size_choice(wanted.frame == base.frame
                                  ? asked
                                  : size_choice{wanted.frame.width, wanted.frame.height});
            clock.frames().set_value(0, wanted.frames);
            output.delay().set_value(0, wanted.delay);
            if (outcome made = create(); !made)
                return made;
            current = wanted;
            current.frame = variant_made(s).frame;
        }
        return frames_made(s);
    };
    result<fit_outcome> found =
        fit_under(fit_request{limit, o.fit_may_shrink, o.fit_may_drop_frames}, base, source);
    if (!found)
        return outcome::failure(found.message());
    const fit_outcome& f = found.value();
    if (!f.fits)
        return fit_report{false, why_nothing_fits(f, limit)};
    if (result<std::vector<buffer*>> made = source.make(f.chosen.variant); !made)
        return outcome::failure(made.message());
    s.set_encode_options(f.chosen.coding);
    return fit_report{true, format("fitted under %s: %s, PSNR %.2f dB; the options: %s",
                                   kilobytes(limit).c_str(), kilobytes(f.measure.bytes).c_str(),
                                   f.measure.psnr, fit_option_line(f.chosen, base).c_str())};
}

} // namespace zoetra::cli
