#include "platform/BuildId.h"

#include <elf.h>
#include <link.h>

#include <cstdio>
#include <cstring>

namespace velmora {
namespace {

// The note's name for a build ID ("GNU" with its terminating zero), and the sizes
// notes round their parts up to.
constexpr char kGnuNoteName[] = "GNU";
constexpr std::size_t kNoteAlignment = 4;

std::size_t Aligned(std::size_t n) { return (n + kNoteAlignment - 1) / kNoteAlignment * kNoteAlignment; }

// Looks through the program's own note segments (the first object listed is the
// program) for its build ID.
int FindBuildId(dl_phdr_info* info, std::size_t, void* data) {
  auto& id = *static_cast<std::string*>(data);
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& header = info->dlpi_phdr[i];
    if (header.p_type != PT_NOTE) continue;
    const auto* at = reinterpret_cast<const unsigned char*>(info->dlpi_addr + header.p_vaddr);
    const unsigned char* end = at + header.p_memsz;
    while (at + sizeof(ElfW(Nhdr)) <= end) {
      ElfW(Nhdr) note{};
      std::memcpy(&note, at, sizeof note);
      const unsigned char* name = at + sizeof note;
      const unsigned char* description = name + Aligned(note.n_namesz);
      if (description + note.n_descsz > end) break;
      if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == sizeof kGnuNoteName &&
          std::memcmp(name, kGnuNoteName, sizeof kGnuNoteName) == 0) {
        char digits[3];
        for (std::size_t k = 0; k < note.n_descsz; ++k) {
          std::snprintf(digits, sizeof digits, "%02x", description[k]);
          id += digits;
        }
        return 1;
      }
      at = description + Aligned(note.n_descsz);
    }
  }
  return 1;  // only the program itself, never a library
}

}  // namespace

std::string ProgramBuildId() {
  std::string id;
  dl_iterate_phdr(FindBuildId, &id);
  return id;
}

}  // namespace velmora
