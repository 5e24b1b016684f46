// Loads the E-140 module library named by SENTUNE_LUSBAPI (liblusbapi.so when
// unset; a bare name is searched the way the dynamic linker searches) and
// resolves its factory. The library stays loaded for the object's life, so
// the object must outlive every module it created.
#pragma once

#include <string>

#include "adc/e140_module.h"

namespace adc {

class ModuleLibrary {
 public:
  static constexpr char kDefaultFile[] = "liblusbapi.so";
  static constexpr char kEnvironmentVariable[] = "SENTUNE_LUSBAPI";

  ModuleLibrary();
  ~ModuleLibrary();
  ModuleLibrary(const ModuleLibrary &) = delete;
  ModuleLibrary &operator=(const ModuleLibrary &) = delete;

  // A module interface from the factory, or null when the library or its
  // factory is missing or the factory has no such module.
  E140Module *create(const char *name) const;

  // Why there is no factory (the loader's message), empty when there is one.
  const std::string &error() const { return error_; }

 private:
  void *handle_ = nullptr;
  E140Factory factory_ = nullptr;
  std::string error_;
};

}  // namespace adc
