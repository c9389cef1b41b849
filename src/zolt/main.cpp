#include "zolt/core/program/program_main.h"

int main(int argument_count, char** arguments) {
    return zolt::run_program(argument_count, arguments);
}
