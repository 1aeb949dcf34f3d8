// tarnwell-host: drives a built VST 3 module as a DAW does.
//   tarnwell-host info <bundle-or-module>
#include <cstring>
#include <iostream>

#include "host/info.h"
#include "host/module.h"

namespace {

int Usage() {
  std::cerr << "usage: tarnwell-host info <bundle.vst3 | module file>\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  if (std::strcmp(argv[1], "info") == 0) {
    tarnwell::host::Module module;
    std::string error;
    if (!module.Load(argv[2], &error)) {
      std::cerr << "cannot load " << argv[2] << ": " << error << "\n";
      return 1;
    }
    bool ok = tarnwell::host::PrintModuleInfo(module, std::cout);
    module.Unload();
    return ok ? 0 : 1;
  }
  return Usage();
}
