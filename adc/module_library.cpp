#include "adc/module_library.h"

#include <dlfcn.h>

#include <cstdlib>

namespace adc {

ModuleLibrary::ModuleLibrary() {
  const char *file = std::getenv(kEnvironmentVariable);
  if (file == nullptr || *file == '\0') file = kDefaultFile;
  handle_ = ::dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char *why = ::dlerror();
    error_ = why != nullptr ? why : file;
    return;
  }
  void *symbol = ::dlsym(handle_, kFactorySymbol);
  if (symbol == nullptr) {
    const char *why = ::dlerror();
    error_ = why != nullptr ? why : kFactorySymbol;
    return;
  }
  factory_ = reinterpret_cast<E140Factory>(symbol);
}

ModuleLibrary::~ModuleLibrary() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

E140Module *ModuleLibrary::create(const char *name) const {
  return factory_ != nullptr ? factory_(name) : nullptr;
}

}  // namespace adc
