// tarnwell-host: drives a built VST 3 module as a DAW does.
#include <cstring>
#include <iostream>
#include <string>

#include "host/info.h"
#include "host/module.h"
#include "host/render.h"

namespace {

int Usage() {
  std::cerr << "usage:\n"
               "  tarnwell-host info <bundle.vst3 | module file>\n"
               "  tarnwell-host render <bundle.vst3 | module file> <in.wav> <out.wav> [options]\n"
               "options for render:\n"
               "  --param <id|title>=<text>   set a parameter from its display text (\"=0.5\": normalised)\n"
               "  --state <file>              load a saved state first\n"
               "  --save-state <file>         write the state after rendering\n"
               "  --block <frames>            block size (default 512)\n"
               "  --blocks <n,n,...>          block sizes taken in turn (the largest is the maximum)\n"
               "  --offline                   set up and render in offline mode, as a bounce\n"
               "  --start <sample>            project time of the first sample (may be negative)\n"
               "  --rate <hz>                 sample rate (default: the input file's)\n"
               "  --host <name>               the host name the plug-in is given\n"
               "  --bypass                    render with the plug-in bypassed\n";
  return 2;
}

bool LoadModule(tarnwell::host::Module& module, const char* path) {
  std::string error;
  if (module.Load(path, &error)) return true;
  std::cerr << "cannot load " << path << ": " << error << "\n";
  return false;
}

int Info(const char* path) {
  tarnwell::host::Module module;
  if (!LoadModule(module, path)) return 1;
  return tarnwell::host::PrintModuleInfo(module, std::cout) ? 0 : 1;
}

int Render(int argc, char** argv) {
  if (argc < 5) return Usage();
  tarnwell::host::RenderOptions options;
  for (int i = 5; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--bypass") {
      options.bypass = true;
    } else if (arg == "--param" && hasValue) {
      std::string assignment = argv[++i];
      size_t eq = assignment.find('=');
      if (eq == std::string::npos || eq == 0) return Usage();
      options.parameters.emplace_back(assignment.substr(0, eq), assignment.substr(eq + 1));
    } else if (arg == "--state" && hasValue) {
      options.stateFile = argv[++i];
    } else if (arg == "--save-state" && hasValue) {
      options.saveStateFile = argv[++i];
    } else if (arg == "--block" && hasValue) {
      options.blockSize = std::atoi(argv[++i]);
    } else if (arg == "--blocks" && hasValue) {
      if (!tarnwell::host::ParseBlockSizes(argv[++i], &options.blockSizes)) return Usage();
    } else if (arg == "--offline") {
      options.offline = true;
    } else if (arg == "--start" && hasValue) {
      options.startSample = std::atoll(argv[++i]);
    } else if (arg == "--rate" && hasValue) {
      options.sampleRate = std::atof(argv[++i]);
    } else if (arg == "--host" && hasValue) {
      options.hostName = argv[++i];
    } else {
      return Usage();
    }
  }
  if (options.blockSize <= 0 || options.sampleRate < 0) return Usage();
  tarnwell::host::Module module;
  if (!LoadModule(module, argv[2])) return 1;
  tarnwell::host::AudioFile input, output;
  std::string error;
  if (!tarnwell::host::ReadWav(argv[3], &input, &error)) {
    std::cerr << "cannot read " << argv[3] << ": " << error << "\n";
    return 1;
  }
  if (!tarnwell::host::Render(module, input, options, &output, &error)) {
    std::cerr << "render failed: " << error << "\n";
    return 1;
  }
  if (!tarnwell::host::WriteWav(argv[4], output, &error)) {
    std::cerr << "cannot write " << argv[4] << ": " << error << "\n";
    return 1;
  }
  std::cout << "rendered " << output.Frames() << " frames at " << output.sampleRate << " Hz to " << argv[4] << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  if (std::strcmp(argv[1], "info") == 0) return Info(argv[2]);
  if (std::strcmp(argv[1], "render") == 0) return Render(argc, argv);
  return Usage();
}
