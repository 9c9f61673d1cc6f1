#pragma once

#include <optional>

// The settings row of the lists file. Its one setting today is whether the guide opens when the
// program starts: the field run holds "0" (it opens) or "1" (it does not).
namespace Settings {

// The start-up guide flag as the first settings row holds it: true for "0", false for "1", and
// nothing for any other text (or no row at all), which leaves every choice as it was.
std::optional<bool> guideAtStart();

// Stores the flag in the settings row whose ids is 8. A file without that row keeps its flag:
// nothing is written and nothing is reported.
void setGuideAtStart(bool open);

} // namespace Settings
