// Association keys on the media section's controller. Keys are compared by
// address, so every use must name these very constants, never a copy of the
// text.
#pragma once

namespace corvane {

extern const char kPreviousMusicKey[];
extern const char kNumber1Key[];
extern const char kNumber2Key[];
extern const char kNumber3Key[];
extern const char kNumber4Key[];
extern const char kMediaTimerKey[];
extern const char kCheckTimerKey[];
extern const char kCheckNumberKey[];

}  // namespace corvane
