// The program's allocation functions, for the release executable only. The library's own
// operator new throws std::bad_alloc on failure, which brings the whole exception machinery
// into the program, though nothing in it catches anything: an allocation that fails has
// always ended the program. These end it at once instead, with the same outcome.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  std::abort();
}

void* operator new[](std::size_t size) { return operator new(size); }

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
