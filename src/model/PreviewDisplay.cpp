#include "model/PreviewDisplay.h"

namespace tidyword {

QString rawValue(PreviewDisplay display) {
    switch (display) {
        case PreviewDisplay::changes:
            return QStringLiteral("Changes");
        case PreviewDisplay::improved:
            return QStringLiteral("Improved");
        case PreviewDisplay::original:
            return QStringLiteral("Original");
    }
    Q_UNREACHABLE();
}

}  // namespace tidyword
