#include "cli/options.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace zoetra::cli {

const char* const usage_text =
    "Usage: zoetra-render [OPTIONS] IMAGE...\n"
    "Puts the images (still GIF, PNG or JPEG files) in the palette in order, runs\n"
    "an effect over them and saves the frames as one animated GIF89a file.\n"
    "\n"
    "      --frames-from FILE an animated GIF taken whole as the first picture (no\n"
    "                         IMAGE is needed then): the effect makes as many frames\n"
    "                         as it has (at most 32, taken evenly from longer ones),\n"
    "                         frame k of N showing its frame k * M / N of M, shown\n"
    "                         for the file's own delays unless --delay is given.\n"
    "                         Frames merged or left out are reported on standard\n"
    "                         error\n"
    "  -e, --effect NAME      the effect: its title, its file's stem, or a path to a\n"
    "                         .zoml file (default: the first effect of the catalogue)\n"
    "  -o, --output FILE      where the GIF goes (default zoetra.gif)\n"
    "  -n, --frames N         number of frames, 1 to 32 (still effects make one)\n"
    "  -d, --delay SECONDS    delay between frames, 0 to 60\n"
    "  -l, --loop N           times the animation plays, 0 for ever\n"
    "      --direction D      forward, backward, forward-and-back or back-and-forth\n"
    "      --size S           the frame: WxH (16x16 to 1920x1080) or a size for a\n"
    "                         place: emoji (128x128), sticker (320x320), chat (480\n"
    "                         wide) or readme (800 wide; one side given, the other\n"
    "                         follows the picture, at most 1080). The file is exactly\n"
    "                         that size, the picture fitted inside; without it each\n"
    "                         effect makes its own frame (350x250 for the bundled\n"
    "                         ones) cropped to what it shows. Pictures larger than\n"
    "                         the frame are always reduced to fit it first.\n"
    "                         The words source, small, medium, large and full set\n"
    "                         the effect's working size (SIZE.EFFECT) instead, which\n"
    "                         only effects that read it use (--describe says so;\n"
    "                         no bundled effect does)\n"
    "      --enlarge          enlarge pictures smaller than the frame to fit it\n"
    "  -s, --select N         which palette image the effect takes (1 is the first)\n"
    "      --set NAME=V[,V,V] a public setting of the effect, by its name or title as\n"
    "                         --describe lists them, or ID:NAME; repeatable\n"
    "      --colours C        standard (one colour table, the default) or fine (a\n"
    "                         palette per frame where that pays, finer dithering,\n"
    "                         still parts kept still; the file is optimized too)\n"
    "      --optimize         smaller files: each frame draws only what changed\n"
    "      --lossy N          smaller files, 0 (off) to 200: a pixel may take a\n"
    "                         nearby colour of its table where that codes shorter,\n"
    "                         at most N/5 delta E (CIE Lab) from its own colour;\n"
    "                         transparent pixels stay. On photos in the standard\n"
    "                         colours 20 costs about 0.1 dB of PSNR and saves 3%,\n"
    "                         40 about 1 dB and 20%, 100 about 3 dB and half, 200\n"
    "                         (plainly damaged) about 5 dB and three quarters;\n"
    "                         fine colours, nearer the source to start with, lose\n"
    "                         more: 40 about 3.5 dB and 40%, 200 about 8 dB\n"
    "      --no-dither        fine colours without dithering: every pixel the\n"
    "                         nearest colour of its palette, which codes shorter\n"
    "                         on photos and shows bands in smooth gradients\n"
    "      --colours-max K    at most K colours in each colour table, 2 to 256, in\n"
    "                         the smallest table that holds them (and the\n"
    "                         transparent entry where it is needed); 256, the\n"
    "                         default, is 255 colours and the transparent entry\n"
    "      --max-bytes SIZE   fit the file under SIZE bytes (K and M suffixes: 256K,\n"
    "                         1.5M): the colours, the colour count and the lossy\n"
    "                         level that give the best picture under it are chosen\n"
    "                         by measuring each candidate's exact size; the choice\n"
    "                         goes to standard error as options that make the file\n"
    "      --for PLACE        the frame and the limit of a place: slack-emoji\n"
    "                         (128x128, 128K), discord-emoji (128x128, 256K),\n"
    "                         discord-sticker (320x320, 512K) or upload-10m (10M)\n"
    "      --fit-may-shrink   the fit may also make the frame smaller\n"
    "      --fit-may-drop-frames  the fit may also make fewer frames, each shown\n"
    "                         longer so that the animation lasts as long\n"
    "      --caption TEXT     words over the top of every frame, bold white with a\n"
    "                         dark outline, drawn after the effect: they wrap at\n"
    "                         spaces to two lines and shrink to fit the frame's\n"
    "                         width, down to 10 pixels (a text too long for that is\n"
    "                         refused). UTF-8; characters are set one after\n"
    "                         another, without the shaping that joining scripts\n"
    "                         need. Their two colours stay exact in the file\n"
    "      --caption-bottom TEXT  the same at the bottom of every frame\n"
    "      --hold-first SECONDS  show the first frame this long (0 to 60)\n"
    "      --hold-last SECONDS   show the last frame this long; going forward and\n"
    "                         back, the frame where the animation turns\n"
    "      --frames-to DIR    also write the frames made, uncompressed, into DIR:\n"
    "                         frame_NNN.pam (RGBA), frame_NNN.ppm with mask_NNN.pgm\n"
    "                         (255 opaque) and info.txt (\"width height frames\")\n"
    "      --estimate         print the exact size the file would have; write nothing\n"
    "      --list             list the effects: type, stem, title, description\n"
    "      --describe EFFECT  list an effect's public settings with values and ranges\n"
    "      --check EFFECT     list what the loader passed over in an effect: refused\n"
    "                         connections, idrefs and names that match nothing (exit\n"
    "                         status 3 when there is one), and inputs left unconnected\n"
    "  -q, --quiet            no progress lines\n"
    "      --version          print the version\n"
    "      --help             print this help\n"
    "\n"
    "\n"
    "Progress goes to standard error: on a terminal as one line rewritten in place,\n"
    "otherwise a line at a time; either way it ends with one summary line.\n"
    "\n"
    "Exit status: 0 success, 1 usage error, 2 bad input, 3 the effect failed,\n"
    "4 the program could not go on (no effect files found, memory exhausted),\n"
    "5 nothing fits under the size limit (the message gives the smallest file and\n"
    "which allowance would help; nothing is written).\n";

namespace {

bool to_int(const std::string& text, int& out) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || errno != 0 || value < -1000000000L || value > 1000000000L)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool to_real(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == 0 && std::isfinite(out);
}

} // namespace

result<options> parse_options(const std::vector<std::string>& args) {
    options o;
    // What the helpers below found wrong, for the failure they end with.
    std::string error;
    const auto refused = [&error] { return outcome::failure(error); };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string inline_value;
        bool has_inline = false;
        if (arg.rfind("--", 0) == 0) {
            auto equals = arg.find('=');
            if (equals != std::string::npos) {
                inline_value = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
                has_inline = true;
            }
        }
        auto value = [&](std::string& out) {
            if (has_inline) {
                out = inline_value;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = "the option " + arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](std::optional<int>& out) {
            std::string text;
            int parsed;
            if (!value(text))
                return false;
            if (!to_int(text, parsed)) {
                error = "the option " + arg + " needs a whole number, not \"" + text + "\"";
                return false;
            }
            out = parsed;
            return true;
        };
        auto seconds = [&](std::optional<double>& out) {
            std::string text;
            double parsed;
            if (!value(text))
                return false;
            if (!to_real(text, parsed)) {
                error = "the option " + arg + " needs a number of seconds, not \"" + text + "\"";
                return false;
            }
            out = parsed;
            return true;
        };
        std::string text;
        if (arg == "-e" || arg == "--effect") {
            if (!value(text))
                return refused();
            o.effect = text;
        } else if (arg == "-o" || arg == "--output") {
            if (!value(o.output))
                return refused();
        } else if (arg == "-n" || arg == "--frames") {
            if (!number(o.frames))
                return refused();
        } else if (arg == "-d" || arg == "--delay") {
            if (!seconds(o.delay))
                return refused();
        } else if (arg == "--hold-first") {
            if (!seconds(o.hold_first))
                return refused();
        } else if (arg == "--hold-last") {
            if (!seconds(o.hold_last))
                return refused();
        } else if (arg == "--caption") {
            if (!value(text))
                return refused();
            o.caption = text;
        } else if (arg == "--caption-bottom") {
            if (!value(text))
                return refused();
            o.caption_bottom = text;
        } else if (arg == "-l" || arg == "--loop") {
            if (!number(o.loop))
                return refused();
        } else if (arg == "--direction") {
            if (!value(text))
                return refused();
            o.direction = text;
        } else if (arg == "--size") {
            if (!value(text))
                return refused();
            o.size = text;
        } else if (arg == "-s" || arg == "--select") {
            if (!number(o.select))
                return refused();
        } else if (arg == "--set") {
            if (!value(text))
                return refused();
            auto equals = text.find('=');
            if (equals == std::string::npos || equals == 0) {
                return outcome::failure("--set needs NAME=VALUE, not \"" + text + "\"");
            }
            o.settings.push_back({text.substr(0, equals), text.substr(equals + 1)});
        } else if (arg == "--colours") {
            if (!value(text))
                return refused();
            o.colours = text;
        } else if (arg == "--max-bytes") {
            if (!value(text))
                return refused();
            o.max_bytes = text;
        } else if (arg == "--for") {
            if (!value(text))
                return refused();
            o.fit_for = text;
        } else if (arg == "--fit-may-shrink") {
            o.fit_may_shrink = true;
        } else if (arg == "--fit-may-drop-frames") {
            o.fit_may_drop_frames = true;
        } else if (arg == "--frames-from") {
            if (!value(text))
                return refused();
            o.frames_from = text;
        } else if (arg == "--frames-to") {
            if (!value(text))
                return refused();
            o.frames_to = text;
        } else if (arg == "--lossy") {
            if (!number(o.lossy))
                return refused();
        } else if (arg == "--colours-max") {
            if (!number(o.colours_max))
                return refused();
        } else if (arg == "--optimize") {
            o.optimize = true;
        } else if (arg == "--no-dither") {
            o.no_dither = true;
        } else if (arg == "--enlarge") {
            o.enlarge = true;
        } else if (arg == "--estimate") {
            o.estimate = true;
        } else if (arg == "--list") {
            o.list = true;
        } else if (arg == "--describe") {
            if (!value(text))
                return refused();
            o.describe = text;
        } else if (arg == "--check") {
            if (!value(text))
                return refused();
            o.check = text;
        } else if (arg == "-q" || arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "--") {
            o.images.insert(o.images.end(), args.begin() + std::ptrdiff_t(i) + 1, args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return outcome::failure("unknown option " + arg);
        } else {
            o.images.push_back(arg);
        }
        if (has_inline && (arg == "--estimate" || arg == "--optimize" || arg == "--no-dither" ||
                           arg == "--enlarge" || arg == "--list" || arg == "--fit-may-shrink" ||
                           arg == "--fit-may-drop-frames" || arg == "--quiet" ||
                           arg == "--version" || arg == "--help")) {
            return outcome::failure("the option " + arg + " takes no value");
        }
    }
    if (!o.help && !o.version && !o.list && !o.describe && !o.check && o.images.empty() &&
        !o.frames_from) {
        return outcome::failure("no image given");
    }
    return o;
}

} // namespace zoetra::cli
