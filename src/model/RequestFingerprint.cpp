#include "model/RequestFingerprint.h"

namespace tidyword {

namespace {

bool canonicallyEqual(const QString& lhs, const QString& rhs) {
    return lhs == rhs || lhs.normalized(QString::NormalizationForm_D) ==
                             rhs.normalized(QString::NormalizationForm_D);
}

}  // namespace

bool operator==(const RequestFingerprint& lhs, const RequestFingerprint& rhs) {
    return lhs.mode == rhs.mode && canonicallyEqual(lhs.text, rhs.text) &&
           canonicallyEqual(lhs.instruction, rhs.instruction);
}

}  // namespace tidyword
