#pragma once
// Published-property streaming in the window-definition text form:
//
//   object VaComm: TVaComm
//     Baudrate = br115200
//     EventChars.EventChar = #10
//     DeviceName = 'COM%d'
//     MonitorEvents = [ceRxFlag]
//     OnRxFlag = VaCommRxFlag
//   end
#include <string>

#include "toolkit/component.h"

namespace tk {

// Writes the published properties of `component` (sub-objects as
// Name.Sub = value), skipping values equal to their stored default.
std::string WriteComponent(TComponent& component);

// Reads a definition into `component`: sets each property by name (within
// csLoading), binds events through `lookup`, then calls Loaded(). Throws
// tk::Exception on unknown properties or malformed text.
void ReadComponent(TComponent& component, const std::string& text, const MethodLookup& lookup = {});

// Helpers for property getters/setters.
std::string QuoteString(const std::string& s);        // 'it''s'
std::string UnquoteString(const std::string& value);  // throws on malformed text
std::string CharToText(char c);                       // #10
char TextToChar(const std::string& value);            // #10 or 'a'
std::string BoolToText(bool b);                       // True / False
bool TextToBool(const std::string& value);

}  // namespace tk
