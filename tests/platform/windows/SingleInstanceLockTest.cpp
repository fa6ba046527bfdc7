// The window titled "Hide" as the mark of a running copy, under Wine.
#include "platform/SingleInstanceLock.h"
#include "platform/windows/HiddenWindow.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

using Result = SingleInstanceLock::Result;

// One test: the program started here and the windows made here must not meet in parallel runs.
TEST(SingleInstanceLockTest, AnyWindowTitledHideKeepsASecondCopyOut) {
    if (FindWindowW(nullptr, L"Hide"))
        GTEST_SKIP() << "a copy of the program runs in this Wine prefix";
    {
        SingleInstanceLock first({}, QStringLiteral("tessaron"));
        ASSERT_EQ(first.tryLock(), Result::Acquired);
        EXPECT_TRUE(FindWindowW(nullptr, L"Hide"));
        EXPECT_EQ(first.tryLock(), Result::Acquired);
        SingleInstanceLock second({}, QStringLiteral("other"));
        EXPECT_EQ(second.tryLock(), Result::HeldElsewhere);
    }
    EXPECT_FALSE(FindWindowW(nullptr, L"Hide"));
    // Not only this program's own window: any window of that title.
    const HiddenWindow foreign(L"Hide", {});
    EXPECT_EQ(SingleInstanceLock({}, {}).tryLock(), Result::HeldElsewhere);

#ifdef TESSARON_BINARY
    // The program itself, started while the mark is up, leaves at once and touches nothing:
    // no profile key is made.
    const auto profileExists = [] {
        HKEY key = nullptr;
        const bool exists = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Halvik\\tessaron", 0,
                                          KEY_READ, &key) == ERROR_SUCCESS;
        if (key)
            RegCloseKey(key);
        return exists;
    };
    const bool hadProfile = profileExists();
    QProcess program;
    program.start(QStringLiteral("Z:") + QStringLiteral(TESSARON_BINARY), {});
    ASSERT_TRUE(program.waitForFinished(120000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardError(), QByteArray());
    if (!hadProfile)
        EXPECT_FALSE(profileExists());
#endif
}

} // namespace
