#pragma once
// The zasm command line: assemble sources into packs, disassemble packs.
// Prints to the standard streams and answers the process exit code.
namespace zolt::tools {

int run_zasm(int argument_count, char** arguments);

}  // namespace zolt::tools
