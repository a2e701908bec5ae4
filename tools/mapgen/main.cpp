// brallo-mapgen: renders a map's pictures, makes the shared pictures, and checks maps.
//   brallo-mapgen render MAPTEXT OUTDIR   OUTDIR/<name>.fg.bmp, .p2.bmp and .p5.bmp
//   brallo-mapgen shared OUTDIR           OUTDIR/l.bmp, r.bmp, winner.bmp and loser.bmp
//   brallo-mapgen --check [--limit N] MAPTEXT...
#include <charconv>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "bmp.h"
#include "brallo/main/maptext.h"
#include "check.h"
#include "foreground.h"
#include "mapshape.h"
#include "parallax.h"
#include "shared.h"

namespace {

using namespace brallo::mapgen;

constexpr const char* usage =
    "Usage:\n"
    "  brallo-mapgen render MAPTEXT OUTDIR\n"
    "      writes OUTDIR/NAME.fg.bmp, NAME.p2.bmp and NAME.p5.bmp for MAPTEXT (NAME.txt)\n"
    "  brallo-mapgen shared OUTDIR\n"
    "      writes OUTDIR/l.bmp, r.bmp, winner.bmp and loser.bmp\n"
    "  brallo-mapgen --check [--limit STATES] MAPTEXT...\n"
    "      checks that each map loads, that a player spawned at (200, 200) lands, and that\n"
    "      every weapon spot can be reached; exits 1 if any map fails\n";

struct UsageError {
    std::string message;
};

int render(const std::string& mapText, const std::string& outDir) {
    const MapShape shape = loadMapShape(brallo::readFileBytes(mapText));
    const std::string base = outDir + "/" + std::string(mapNameOf(mapText));
    writeBmp(base + ".fg.bmp", renderForeground(shape));
    writeBmp(base + ".p2.bmp", renderNearLayer(shape));
    writeBmp(base + ".p5.bmp", renderFarLayer(shape));
    return 0;
}

int shared(const std::string& outDir) {
    writeBmp(outDir + "/l.bmp", renderEyes(true));
    writeBmp(outDir + "/r.bmp", renderEyes(false));
    writeBmp(outDir + "/winner.bmp", renderBanner("YOU WIN!", "WELL PLAYED", true));
    writeBmp(outDir + "/loser.bmp", renderBanner("YOU LOSE", "BETTER LUCK NEXT TIME", false));
    return 0;
}

int check(const std::vector<std::string_view>& args) {
    CheckOptions options;
    std::vector<std::string> maps;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--limit") {
            if (i + 1 == args.size()) throw UsageError{"--limit needs a number"};
            const std::string_view v = args[++i];
            const auto [end, ec] =
                std::from_chars(v.data(), v.data() + v.size(), options.maxStates);
            if (ec != std::errc{} || end != v.data() + v.size() || options.maxStates < 1) {
                throw UsageError{"--limit needs a positive number, not \"" + std::string(v) + "\""};
            }
        } else {
            maps.emplace_back(args[i]);
        }
    }
    if (maps.empty()) throw UsageError{"--check needs at least one map text"};
    int status = 0;
    for (const std::string& path : maps) {
        CheckResult r;
        try {
            r = checkMap(brallo::readFileBytes(path), options);
        } catch (const brallo::MapError& e) {
            r.problems.push_back(e.what());
        }
        if (r.ok()) {
            std::printf("%s: ok: lands after %d ticks, all %d spots reachable (%lld states%s)\n",
                        path.c_str(), r.landedAfter, r.spots,
                        static_cast<long long>(r.statesExplored),
                        r.searchComplete ? ", all explored" : ", bound reached");
        } else {
            status = 1;
            std::printf("%s: FAILED\n", path.c_str());
            for (const std::string& problem : r.problems) {
                std::printf("  %s\n", problem.c_str());
            }
        }
    }
    return status;
}

int run(const std::vector<std::string_view>& args) {
    if (args.empty()) throw UsageError{"no command given"};
    const std::string_view cmd = args[0];
    if (cmd == "--help" || cmd == "-h") {
        std::fputs(usage, stdout);
        return 0;
    }
    if (cmd == "render" && args.size() == 3) {
        return render(std::string(args[1]), std::string(args[2]));
    }
    if (cmd == "shared" && args.size() == 2) return shared(std::string(args[1]));
    if (cmd == "--check") return check({args.begin() + 1, args.end()});
    throw UsageError{"unknown command or wrong number of arguments: " + std::string(cmd)};
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    try {
        const int status = run(args);
        std::fflush(stdout);
        return status;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "brallo-mapgen: %s\n%s", e.message.c_str(), usage);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "brallo-mapgen: %s\n", e.what());
        return 1;
    }
}
