#include "RecorderKeys.h"

namespace corvane {

const char kPreviousMusicKey[] = "previousMusic";
const char kNumber1Key[] = "number1";
const char kNumber2Key[] = "number2";
const char kNumber3Key[] = "number3";
const char kNumber4Key[] = "number4";
const char kMediaTimerKey[] = "MediaTimer";
const char kCheckTimerKey[] = "CheckTimer";
const char kCheckNumberKey[] = "CheckNumber";

}  // namespace corvane
