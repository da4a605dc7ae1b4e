// The draft the desktop benchmarks open in the editor, so that both measure the same text.
#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace tidyword::bench {

// Writes the draft into `directory`; its path.
inline QString writeEditorDraft(const QTemporaryDir& directory) {
    QFile draft(directory.filePath(QStringLiteral("draft.txt")));
    draft.open(QIODevice::WriteOnly);
    draft.write("Please review the draft before friday and tell me what you think.");
    return draft.fileName();
}

}  // namespace tidyword::bench
