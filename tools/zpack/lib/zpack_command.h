#pragma once
// The zpack command line: build, list and verify packs, write pack lists.
// Prints to the standard streams and answers the process exit code.
namespace zolt::tools {

int run_zpack(int argument_count, char** arguments);

}  // namespace zolt::tools
