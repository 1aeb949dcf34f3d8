// A parameter value from the text a user types for it, checked as a DAW's parameter field
// checks it: the plug-in parses the text, and the value must read back as that text.
#pragma once

#include <string>

#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace tarnwell::host {

// The normalised value the text names. The plug-in's own parser answers a value for nearly
// any text, so the value is formatted back: it must give the same text (ignoring case and the
// unit), or a number equal to the one typed within the display's rounding. False (with
// *error) for a text that names no value of the parameter.
bool ParameterValueFromText(Steinberg::Vst::IEditController* controller, Steinberg::Vst::ParamID id,
                            const std::string& name, const std::string& text, double* normalised, std::string* error);

}  // namespace tarnwell::host
