// The groups of record fields that copy and paste carry: copying chosen groups from one record
// into another, and the stored text of a choice ("basic,colour,curves,effects,film").
#pragma once

#include <QString>
#include <set>
#include <string>
#include <vector>

#include "Model/SettingsPart.h"
#include "Record/ConversionSettings.h"

namespace SettingsParts {

// Writes the fields of each chosen part from `source` into `destination`, each field whole
// (optionals also when empty, lists replaced); every other field of `destination` stays.
void copyParts(const std::set<SettingsPart>& parts, const ConversionSettings& source,
               ConversionSettings& destination);

// The raw values of the parts, in the set's order.
std::vector<std::string> partNames(const std::set<SettingsPart>& parts);

// The raw values sorted character by character and joined by "," without spaces.
QString storedText(const std::set<SettingsPart>& parts);

// The parts a stored text names: pieces between commas taken exactly as written (no trimming,
// letter case counts); empty pieces and pieces naming no part are ignored.
std::set<SettingsPart> parseStoredText(const QString& text);

}  // namespace SettingsParts
