#include "platform/linux/SchemeHandlerRegistration.h"
#include "support/Printers.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using platform::linux_desktop::registerSchemeHandler;
using platform::linux_desktop::SchemeHandlerLocations;

QString contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void write(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

class SchemeHandlerRegistrationTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    SchemeHandlerLocations where{home.filePath(u"data/applications"_s),
                                 home.filePath(u"mimeapps.list"_s)};
    QString entry() const { return contents(where.applications + u"/tidyword.desktop"_s); }
};

TEST_F(SchemeHandlerRegistrationTest, RegistersTheDesktopEntryAsTheSchemesDefault) {
    ASSERT_TRUE(
        registerSchemeHandler(u"/opt/tidyword/bin/tidyword"_s, u"com.tidyword.beta"_s, where));
    EXPECT_TRUE(entry().contains(u"\nExec=\"/opt/tidyword/bin/tidyword\" %u\n"_s));
    EXPECT_TRUE(entry().contains(u"\nMimeType=x-scheme-handler/com.tidyword.beta;\n"_s));
    EXPECT_EQ(contents(where.mimeappsList),
              u"[Default Applications]\nx-scheme-handler/com.tidyword.beta=tidyword.desktop\n"_s);
}

TEST_F(SchemeHandlerRegistrationTest, KeepsTheUsersOtherAssociationsAndCanRunAgain) {
    write(where.mimeappsList,
          "[Added Associations]\ntext/plain=gedit.desktop;\n\n"
          "[Default Applications]\ntext/html=firefox.desktop\n"
          "x-scheme-handler/com.tidyword.beta=old.desktop\n"
          "[Removed Associations]\nimage/png=gimp.desktop;\n");
    ASSERT_TRUE(registerSchemeHandler(u"/usr/bin/tidyword"_s, u"com.tidyword.beta"_s, where));
    const QString once = contents(where.mimeappsList);
    EXPECT_EQ(once,
              u"[Added Associations]\ntext/plain=gedit.desktop;\n\n"
              "[Default Applications]\ntext/html=firefox.desktop\n"
              "x-scheme-handler/com.tidyword.beta=tidyword.desktop\n"
              "[Removed Associations]\nimage/png=gimp.desktop;\n"_s);
    ASSERT_TRUE(registerSchemeHandler(u"/usr/bin/tidyword"_s, u"com.tidyword.beta"_s, where));
    EXPECT_EQ(contents(where.mimeappsList), once);
}

TEST_F(SchemeHandlerRegistrationTest, ExecutablePathIsQuotedForTheDesktop) {
    ASSERT_TRUE(
        registerSchemeHandler(u"/home/a b/$x \"q\"\\tidyword"_s, u"com.tidyword.beta"_s, where));
    EXPECT_TRUE(
        entry().contains(u"\nExec=\"/home/a b/\\\\$x \\\\\"q\\\\\"\\\\\\\\tidyword\" %u\n"_s))
        << entry().toStdString();
}

}  // namespace
}  // namespace tidyword
