#include "model/DemoSamples.h"

namespace tidyword::DemoSamples {

QString draft() {
    return QStringLiteral(
        "Hey team, I have send the updated designs. Let me know if there is any changes needed "
        "before we ships tomorrow.");
}

QString suggestion(EditMode mode) {
    switch (mode) {
        case EditMode::grammar:
            return QStringLiteral(
                "Hey team, I have sent the updated designs. Let me know if there are any changes "
                "needed before we ship tomorrow.");
        case EditMode::clearer:
            return QStringLiteral(
                "Hey team, I\u2019ve sent the updated designs. Please let me know if anything "
                "needs to change before we ship tomorrow.");
        case EditMode::shorter:
            return QStringLiteral(
                "Hey team, I\u2019ve sent the updated designs. Any changes before we ship "
                "tomorrow?");
        case EditMode::professional:
            return QStringLiteral(
                "Hi team, I\u2019ve sent the updated designs. Please let me know if any changes "
                "are needed before tomorrow\u2019s release.");
        case EditMode::casual:
            return QStringLiteral(
                "Hey team! I\u2019ve sent over the updated designs. Let me know if anything needs "
                "a tweak before we ship tomorrow.");
        case EditMode::prompt:
            return QStringLiteral(
                "Review the updated designs before tomorrow\u2019s release. Identify any changes "
                "needed and explain each recommendation clearly.");
        case EditMode::custom:
            return QStringLiteral(
                "The updated designs are ready for review. Please share any changes before "
                "tomorrow\u2019s release.");
    }
    Q_UNREACHABLE();
}

QString sourceName() {
    return QStringLiteral("Interface preview");
}

}  // namespace tidyword::DemoSamples
