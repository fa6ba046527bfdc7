#include "platform/windows/WindowsDesktopShell.h"

#include "platform/LogCategories.h"
#include "platform/windows/ComApartment.h"
#include "platform/windows/WindowsPath.h"

#include <QFileInfo>
#include <QThreadPool>

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <future>

using Microsoft::WRL::ComPtr;

namespace {

// How long the end of the program waits for a shell call still running, and a move to the
// Recycle Bin for its answer.
constexpr int kFinishMs = 2000;
constexpr auto kTrashBound = std::chrono::seconds(30);

// Opens `path` in its program (or a folder in the file manager); false when no program takes
// it. No dialog: a failure is the log's.
bool shellOpen(const QString& path) {
    const std::wstring native = WindowsPath::native(path);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = native.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != FALSE;
}

// The interface is released through Release, never deleted through its pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// Watches a delete as it happens and stops it before an item that would not go to the
// Recycle Bin. Lives on the stack for one operation, which holds it no longer.
class RecycleOnlySink final : public IFileOperationProgressSink {
public:
    bool refusedOutrightDelete = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == __uuidof(IFileOperationProgressSink)) {
            *object = static_cast<IFileOperationProgressSink*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem*) override {
        if (flags & TSF_DELETE_RECYCLE_IF_POSSIBLE)
            return S_OK;
        refusedOutrightDelete = true;
        return E_ABORT;
    }

    HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT,
                                             IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT,
                                           IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT,
                                           IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD, IShellItem*, HRESULT, IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT,
                                          IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }
};
#pragma GCC diagnostic pop

// Moves `path` to the Recycle Bin; the reason when it stays where it is.
QString recycle(const QString& path) {
    const ComApartment com;
    ComPtr<IFileOperation> operation;
    ComPtr<IShellItem> item;
    HRESULT result = com.ok() ? ::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL,
                                                   IID_PPV_ARGS(&operation))
                              : com.result();
    if (SUCCEEDED(result))
        result = operation->SetOperationFlags(FOF_NO_UI | FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE |
                                              FOFX_EARLYFAILURE);
    if (FAILED(result))
        return QStringLiteral("the system offers no Recycle Bin operation (%1)")
            .arg(hresultText(result));
    result = ::SHCreateItemFromParsingName(WindowsPath::native(path).c_str(), nullptr,
                                           IID_PPV_ARGS(&item));
    if (FAILED(result))
        return QStringLiteral("the shell does not find it (%1)").arg(hresultText(result));
    RecycleOnlySink sink;
    DWORD cookie = 0;
    result = operation->Advise(&sink, &cookie);
    if (SUCCEEDED(result))
        result = operation->DeleteItem(item.Get(), nullptr);
    if (SUCCEEDED(result))
        result = operation->PerformOperations();
    BOOL aborted = FALSE;
    operation->GetAnyOperationsAborted(&aborted);
    operation->Unadvise(cookie);
    if (sink.refusedOutrightDelete)
        return QStringLiteral("it cannot go to the Recycle Bin, and it is not deleted outright");
    if (FAILED(result) || aborted)
        return QStringLiteral("the shell refused (%1)").arg(hresultText(result));
    if (QFileInfo::exists(path))
        return QStringLiteral("it is still there");
    return {};
}

} // namespace

WindowsDesktopShell::WindowsDesktopShell() : m_pool(new QThreadPool) {
    m_pool->setMaxThreadCount(1);
}

WindowsDesktopShell::~WindowsDesktopShell() {
    m_pool->clear();
    // A shell call that hangs keeps its thread: the pool is left to the end of the process
    // rather than the program's end waiting on it.
    if (m_pool->waitForDone(kFinishMs))
        delete m_pool;
}

void WindowsDesktopShell::queue(std::function<void()> call) {
    m_pool->start([call = std::move(call)] {
        const ComApartment com;
        call();
    });
}

void WindowsDesktopShell::openFile(const QString& path) {
    queue([path] {
        if (!shellOpen(path))
            qCWarning(lcPlatform).noquote()
                << "No program opens" << path << ": error" << ::GetLastError();
    });
}

void WindowsDesktopShell::showInFolder(const QString& path) {
    queue([path] {
        PIDLIST_ABSOLUTE item = ::ILCreateFromPathW(WindowsPath::native(path).c_str());
        const HRESULT result =
            item ? ::SHOpenFolderAndSelectItems(item, 0, nullptr, 0) : E_INVALIDARG;
        ::ILFree(item);
        // No file manager that selects files: the folder at least.
        if (FAILED(result) && !shellOpen(QFileInfo(path).absolutePath()))
            qCWarning(lcPlatform).noquote()
                << "No program opens the folder of" << path << ":" << hresultText(result);
    });
}

bool WindowsDesktopShell::moveToTrash(const QString& path, QString* whyNot) {
    // On the shell's thread, whose apartment the operation's objects want; a local move
    // answers at once, and the wait is bounded all the same.
    auto task = std::make_shared<std::packaged_task<QString()>>([path] { return recycle(path); });
    std::future<QString> answer = task->get_future();
    m_pool->start([task] { (*task)(); });
    QString error;
    if (answer.wait_for(kTrashBound) != std::future_status::ready)
        error = QStringLiteral("the shell did not answer in time");
    else
        error = answer.get();
    if (!error.isEmpty() && whyNot)
        *whyNot = error;
    return error.isEmpty();
}
