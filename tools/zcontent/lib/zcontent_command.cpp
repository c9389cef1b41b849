#include "zcontent_command.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "content_manifest.h"
#include "content_pack.h"

namespace zolt::tools {
namespace {

constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

const char* const usage_text =
    "usage: zcontent <command> ...\n"
    "\n"
    "  zcontent build <manifest.json> [<output folder>]\n"
    "      Builds every resource the manifest names and writes its pack into\n"
    "      the output folder (the manifest's own folder when none is given).\n"
    "      Nothing is written when any resource fails.\n"
    "\n"
    "The manifest is JSON:\n"
    "  {\"pack\": {\"file\": \"textures.pack\", \"key\": 0},\n"
    "   \"textures\": [{\"id\": \"0x20000010\", \"source\": \"stone.png\", \"format\": \"dxt5\"}]}\n"
    "Texture keys: id, source (a PNG, or six for a cube: +X, -X, +Y, -Y, +Z, -Z),\n"
    "  format (rgba8 rgb8 rgba16 rgb16 la16 la8 l16 l8 rgba16f dxt1 dxt3 dxt5),\n"
    "  target (2d, cube), filter (nearest, bilinear, trilinear, anisotropic),\n"
    "  wrap (repeat, clamp), flip_second_axis, lightmap, mipmaps (\"full\" or a\n"
    "  level count), streamed (0, 1 or 2 top levels read on demand), colour\n"
    "  (true: mipmaps averaged in linear light; false: linear data).\n"
    "Manifest key shader_library: a JSON shader library description, built into\n"
    "  resource 0x10000 (tools/zcontent/README.md describes it).\n"
    "\n"
    "Exit code: 0 success, 1 failure, 2 wrong usage.\n";

int fail_usage() {
    std::fputs(usage_text, stderr);
    return exit_usage;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "zcontent: %s\n", message.c_str());
    return exit_failure;
}

int build(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.size() > 2) {
        return fail_usage();
    }
    ContentManifest manifest;
    std::string error;
    if (!read_content_manifest(arguments[0], &manifest, &error)) {
        return fail(error);
    }
    const std::filesystem::path folder =
        arguments.size() == 2 ? std::filesystem::path(arguments[1]) : std::filesystem::path(arguments[0]).parent_path();
    PackDescription description;
    if (!build_content_pack(manifest, &description, &error)) {
        return fail(error);
    }
    if (!write_content_pack(description, (folder / manifest.pack_file).string(), &error)) {
        return fail(error);
    }
    return 0;
}

}  // namespace

int run_zcontent(int argument_count, char** arguments) {
    if (argument_count < 2) {
        return fail_usage();
    }
    const std::string command = arguments[1];
    const std::vector<std::string> rest(arguments + 2, arguments + argument_count);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (command == "build") {
        return build(rest);
    }
    return fail_usage();
}

}  // namespace zolt::tools
