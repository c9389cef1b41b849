#pragma once
// The zcontent command line: build a manifest's pack. Prints to the
// standard streams and answers the process exit code.
namespace zolt::tools {

int run_zcontent(int argument_count, char** arguments);

}  // namespace zolt::tools
