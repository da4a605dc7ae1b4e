#include "service/EditMode.h"

namespace tidyword {

QString rawValue(EditMode mode) {
    switch (mode) {
        case EditMode::grammar:
            return QStringLiteral("Grammar");
        case EditMode::clearer:
            return QStringLiteral("Clearer");
        case EditMode::shorter:
            return QStringLiteral("Shorter");
        case EditMode::professional:
            return QStringLiteral("Professional");
        case EditMode::casual:
            return QStringLiteral("Casual");
        case EditMode::prompt:
            return QStringLiteral("Prompt");
        case EditMode::custom:
            return QStringLiteral("Custom");
    }
    Q_UNREACHABLE();
}

QString title(EditMode mode) {
    if (mode == EditMode::prompt) {
        return QStringLiteral("Make an AI prompt");
    }
    return rawValue(mode);
}

}  // namespace tidyword
