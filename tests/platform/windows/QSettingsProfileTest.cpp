// The profile in Wine's real registry, read back by reg.exe, a process of its own.
#include "platform/QSettingsProfile.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

#include <windows.h>

namespace {

class QSettingsProfileTest : public ::testing::Test {
protected:
    ~QSettingsProfileTest() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(m_key.utf16()));
    }

    // reg.exe's line for the value: "    Name    REG_DWORD    0x5".
    QString query(const QString& section, const QString& name) const {
        QProcess reg;
        reg.start(QStringLiteral("reg.exe"),
                  {QStringLiteral("query"), QStringLiteral("HKCU\\") + m_key + '\\' + section,
                   QStringLiteral("/v"), name});
        if (!reg.waitForFinished(60000))
            return QStringLiteral("reg.exe did not finish");
        for (const QString& line : QString::fromLocal8Bit(reg.readAllStandardOutput()).split('\n'))
            if (line.trimmed().startsWith(name + QLatin1Char(' ')))
                return line.simplified();
        return {};
    }

    const QString m_app =
        QStringLiteral("tessaron-test-%1").arg(QCoreApplication::applicationPid());
    const QString m_key = QStringLiteral("Software\\Halvik\\") + m_app;
};

TEST_F(QSettingsProfileTest, ValuesReachTheRegistryAsTheirTypesAndComeBack) {
    {
        QSettingsProfile profile(QSettings::NativeFormat, QStringLiteral("Halvik"), m_app);
        profile.writeInt(QStringLiteral("Settings"), QStringLiteral("Interval"), 300);
        profile.writeInt(QStringLiteral("Settings"), QStringLiteral("Colour"), -1);
        profile.writeInt(QStringLiteral("Settings"), QStringLiteral("Wide"), 1LL << 40);
        profile.writeString(QStringLiteral("Settings"), QStringLiteral("Folder"),
                            QStringLiteral("C:\\Pictures\\été"));
        profile.writeInt(QStringLiteral("Store"), QStringLiteral("Position"), 7);
        profile.writeString(QStringLiteral("Store"), QStringLiteral("Gone"), QStringLiteral("x"));
        // Held until saved, and read back meanwhile.
        EXPECT_EQ(query(QStringLiteral("Settings"), QStringLiteral("Interval")), QString());
        EXPECT_EQ(profile.readInt(QStringLiteral("Settings"), QStringLiteral("Interval")), 300);
        EXPECT_TRUE(profile.save());
        profile.remove(QStringLiteral("Store"), QStringLiteral("Gone"));
        EXPECT_FALSE(profile.readString(QStringLiteral("Store"), QStringLiteral("Gone")));
        profile.flush();
    }
    EXPECT_EQ(query(QStringLiteral("Settings"), QStringLiteral("Interval")),
              QStringLiteral("Interval REG_DWORD 0x12c"));
    EXPECT_EQ(query(QStringLiteral("Settings"), QStringLiteral("Colour")),
              QStringLiteral("Colour REG_DWORD 0xffffffff"));
    EXPECT_EQ(query(QStringLiteral("Store"), QStringLiteral("Position")),
              QStringLiteral("Position REG_DWORD 0x7"));
    EXPECT_EQ(query(QStringLiteral("Store"), QStringLiteral("Gone")), QString());

    const QSettingsProfile again(QSettings::NativeFormat, QStringLiteral("Halvik"), m_app);
    EXPECT_EQ(again.readInt(QStringLiteral("Settings"), QStringLiteral("Interval")), 300);
    EXPECT_EQ(again.readInt(QStringLiteral("Settings"), QStringLiteral("Colour")), -1);
    EXPECT_EQ(again.readInt(QStringLiteral("Settings"), QStringLiteral("Wide")), 1LL << 40);
    EXPECT_EQ(again.readString(QStringLiteral("Settings"), QStringLiteral("Folder")),
              QStringLiteral("C:\\Pictures\\été"));
    EXPECT_EQ(again.readInt(QStringLiteral("Store"), QStringLiteral("Position")), 7);
    EXPECT_FALSE(again.readInt(QStringLiteral("Settings"), QStringLiteral("Folder")));
}

} // namespace
