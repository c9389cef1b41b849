#include "platform/system/own_symbols.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>

namespace zolt::platform {
namespace {

struct OwnSymbols {
    const Elf64_Sym* symbols = nullptr;
    uint64_t symbol_count = 0;
    const char* names = nullptr;
    uint64_t names_size = 0;
    uint64_t load_bias = 0;
};
OwnSymbols own_symbols;

int find_main_program_bias(dl_phdr_info* information, size_t, void* bias) {
    // The first module reported is the main program.
    *static_cast<uint64_t*>(bias) = information->dlpi_addr;
    return 1;
}

bool is_inside(uint64_t offset, uint64_t size, uint64_t file_size) {
    return offset <= file_size && size <= file_size - offset;
}

}  // namespace

bool load_own_symbols() {
    if (own_symbols.symbols != nullptr) {
        return true;
    }
    const int file = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return false;
    }
    struct stat status {};
    if (fstat(file, &status) != 0 || static_cast<uint64_t>(status.st_size) < sizeof(Elf64_Ehdr)) {
        close(file);
        return false;
    }
    const auto file_size = static_cast<uint64_t>(status.st_size);
    void* const mapping = mmap(nullptr, file_size, PROT_READ, MAP_PRIVATE, file, 0);
    close(file);
    if (mapping == MAP_FAILED) {
        return false;
    }
    const auto* const bytes = static_cast<const uint8_t*>(mapping);
    Elf64_Ehdr header;
    std::memcpy(&header, bytes, sizeof header);
    const bool is_elf64 = std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_ident[EI_CLASS] == ELFCLASS64 &&
                          header.e_shentsize == sizeof(Elf64_Shdr) &&
                          is_inside(header.e_shoff, uint64_t{header.e_shnum} * sizeof(Elf64_Shdr), file_size);
    if (!is_elf64) {
        munmap(mapping, file_size);
        return false;
    }
    const auto* const sections = reinterpret_cast<const Elf64_Shdr*>(bytes + header.e_shoff);
    for (uint32_t index = 0; index < header.e_shnum; ++index) {
        const Elf64_Shdr& table = sections[index];
        if (table.sh_type != SHT_SYMTAB || table.sh_link >= header.e_shnum) {
            continue;
        }
        const Elf64_Shdr& names = sections[table.sh_link];
        if (!is_inside(table.sh_offset, table.sh_size, file_size) ||
            !is_inside(names.sh_offset, names.sh_size, file_size) || names.sh_size == 0 ||
            bytes[names.sh_offset + names.sh_size - 1] != 0) {
            break;
        }
        own_symbols.symbols = reinterpret_cast<const Elf64_Sym*>(bytes + table.sh_offset);
        own_symbols.symbol_count = table.sh_size / sizeof(Elf64_Sym);
        own_symbols.names = reinterpret_cast<const char*>(bytes + names.sh_offset);
        own_symbols.names_size = names.sh_size;
        dl_iterate_phdr(find_main_program_bias, &own_symbols.load_bias);
        return true;
    }
    munmap(mapping, file_size);
    return false;
}

const char* find_own_symbol(uint64_t address, uint64_t* offset) {
    if (own_symbols.symbols == nullptr || address < own_symbols.load_bias) {
        return nullptr;
    }
    const uint64_t file_address = address - own_symbols.load_bias;
    for (uint64_t index = 0; index < own_symbols.symbol_count; ++index) {
        const Elf64_Sym& symbol = own_symbols.symbols[index];
        if (ELF64_ST_TYPE(symbol.st_info) != STT_FUNC || symbol.st_value == 0 || symbol.st_name == 0 ||
            symbol.st_name >= own_symbols.names_size) {
            continue;
        }
        if (file_address >= symbol.st_value && file_address - symbol.st_value < symbol.st_size) {
            *offset = file_address - symbol.st_value;
            return own_symbols.names + symbol.st_name;
        }
    }
    return nullptr;
}

}  // namespace zolt::platform
