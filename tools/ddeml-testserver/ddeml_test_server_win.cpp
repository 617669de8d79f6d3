// The DDEML test server; see ddeml_test_server.h.
#include "platform/windows_api.h"
// ddeml.h needs the types of windows.h first.
#include <ddeml.h>

#include "platform/wide_text_win.h"
#include "sources/dde_atom_table.h"
#include "tools/ddeml-testserver/ddeml_test_server.h"

namespace tarvedde {
namespace {

constexpr UINT kRunTask = WM_APP + 1;
constexpr wchar_t kWindowClass[] = L"TarveddeDdemlTestServer";

// DDEML's callback has no user pointer; one server per thread.
thread_local DdemlTestServer* threadServer = nullptr;

HDDEDATA CALLBACK OnDdeml(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item,
                          HDDEDATA /*data*/, ULONG_PTR /*data1*/, ULONG_PTR /*data2*/) {
    return reinterpret_cast<HDDEDATA>(
        DdemlTestServer::Dispatch(type, format, conversation, topic, item));
}

LRESULT CALLBACK OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kRunTask) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
    (*task)();
    return 0;
}

HSZ AsHsz(void* handle) {
    return static_cast<HSZ>(handle);
}

}  // namespace

Result<std::unique_ptr<DdemlTestServer>> DdemlTestServer::Create(const std::string& service,
                                                                 const std::string& topic) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OnWindowMessage;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);  // fails harmlessly when a former server registered it
    HWND window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    if (window == nullptr) {
        return Error{"cannot create the server's window: " + win::ErrorText(GetLastError())};
    }
    DWORD instance = 0;
    const UINT result =
        DdeInitializeW(&instance, OnDdeml,
                       APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS |
                           CBF_FAIL_POKES | CBF_FAIL_EXECUTES | CBF_FAIL_SELFCONNECTIONS,
                       0);
    if (result != DMLERR_NO_ERROR) {
        DestroyWindow(window);
        return Error{"DdeInitializeW failed: " + std::to_string(result)};
    }
    HSZ serviceHsz = DdeCreateStringHandleW(instance, win::Widen(service).c_str(), CP_WINUNICODE);
    HSZ topicHsz = DdeCreateStringHandleW(instance, win::Widen(topic).c_str(), CP_WINUNICODE);
    std::unique_ptr<DdemlTestServer> server(
        new DdemlTestServer(instance, serviceHsz, topicHsz, window));
    if (serviceHsz == nullptr || topicHsz == nullptr ||
        DdeNameService(instance, serviceHsz, nullptr, DNS_REGISTER) == nullptr) {
        return Error{"cannot register the DDE service " + service};
    }
    return server;
}

DdemlTestServer::DdemlTestServer(unsigned long instance, void* service, void* topic, void* window)
    : instance_(instance), service_(service), topic_(topic), window_(window) {
    threadServer = this;
}

DdemlTestServer::~DdemlTestServer() {
    DropAll();
    DdeNameService(instance_, nullptr, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(instance_, AsHsz(service_));
    DdeFreeStringHandle(instance_, AsHsz(topic_));
    DdeUninitialize(instance_);
    threadServer = nullptr;
    // Tasks still queued are lost with the window; their memory too, as at a process end.
    DestroyWindow(static_cast<HWND>(window_));
}

void DdemlTestServer::Publish(const std::string& item, const std::string& text) {
    Item& entry = items_[DdeNameKey(item)];
    entry.value = text;
    entry.hasValue = true;
    ++entry.generation;
    Advise(item);
}

void DdemlTestServer::SetRequestText(const std::string& item, const std::string& text) {
    Item& entry = items_[DdeNameKey(item)];
    entry.requestText = text;
    entry.hasRequestText = true;
}

void DdemlTestServer::DropAll() {
    // A copy: each end edits the set through the disconnect callback.
    const std::set<void*> conversations = conversations_;
    for (void* conversation : conversations) {
        HCONV hconv = static_cast<HCONV>(conversation);
        if (!DdeDisconnect(hconv)) {
            // Wine's DdeDisconnect ends only a client's conversations. Destroying the
            // server's window of the conversation ends it as Wine's DdeUninitialize does:
            // the client gets its XTYP_DISCONNECT.
            CONVINFO info{};
            info.cb = sizeof(info);
            if (DdeQueryConvInfo(hconv, QID_SYNC, &info) != 0) {
                DestroyWindow(info.hwnd);
            }
        }
        conversations_.erase(conversation);
    }
    sent_.clear();
}

bool DdemlTestServer::Execute(const std::string& line, std::string& error) {
    const std::size_t verbEnd = line.find(' ');
    const std::string verb = line.substr(0, verbEnd);
    if (verb == "set" || verb == "request") {
        const std::size_t itemEnd =
            verbEnd == std::string::npos ? verbEnd : line.find(' ', verbEnd + 1);
        if (itemEnd == std::string::npos) {
            error = verb + " needs an item and a text";
            return false;
        }
        const std::string item = line.substr(verbEnd + 1, itemEnd - verbEnd - 1);
        const std::string text = line.substr(itemEnd + 1);
        verb == "set" ? Publish(item, text) : SetRequestText(item, text);
        return true;
    }
    if (line == "drop") {
        DropAll();
    } else if (line == "refuse" || line == "accept") {
        SetRefusing(line == "refuse");
    } else {
        error = "unknown command: " + line;
        return false;
    }
    return true;
}

void DdemlTestServer::Post(std::function<void()> task) {
    auto* owned = new std::function<void()>(std::move(task));
    if (!PostMessageW(static_cast<HWND>(window_), kRunTask, 0, reinterpret_cast<LPARAM>(owned))) {
        delete owned;
    }
}

void DdemlTestServer::Advise(const std::string& item) {
    const std::wstring name = win::Widen(item);
    HSZ hsz = DdeCreateStringHandleW(instance_, name.c_str(), CP_WINUNICODE);
    DdePostAdvise(instance_, AsHsz(topic_), hsz);
    DdeFreeStringHandle(instance_, hsz);
}

std::uintptr_t DdemlTestServer::Dispatch(unsigned type, unsigned format, void* conversation,
                                         void* topic, void* item) {
    if (threadServer == nullptr) {
        return 0;
    }
    return threadServer->OnTransaction(type, format, conversation, topic, item);
}

DdemlTestServer::Item* DdemlTestServer::FindItem(void* item) {
    wchar_t name[256];
    const DWORD length = DdeQueryStringW(instance_, AsHsz(item), name, 256, CP_WINUNICODE);
    auto found = items_.find(DdeNameKey(win::Narrow(std::wstring_view(name, length))));
    return found == items_.end() ? nullptr : &found->second;
}

std::uintptr_t DdemlTestServer::DataHandle(void* item, const std::string& text) {
    std::string bytes = text + '\0';
    HDDEDATA data =
        DdeCreateDataHandle(instance_, reinterpret_cast<LPBYTE>(bytes.data()),
                            static_cast<DWORD>(bytes.size()), 0, AsHsz(item), CF_TEXT, 0);
    return reinterpret_cast<std::uintptr_t>(data);
}

std::uintptr_t DdemlTestServer::OnTransaction(unsigned type, unsigned format, void* conversation,
                                              void* topic, void* item) {
    switch (type) {
        case XTYP_CONNECT:
            // For a connect the first handle is the topic and the second the service.
            return !refusing_ && DdeCmpStringHandles(AsHsz(topic), AsHsz(topic_)) == 0 &&
                   DdeCmpStringHandles(AsHsz(item), AsHsz(service_)) == 0;
        case XTYP_CONNECT_CONFIRM:
            conversations_.insert(conversation);
            return 0;
        case XTYP_DISCONNECT:
            conversations_.erase(conversation);
            std::erase_if(sent_,
                          [&](const auto& entry) { return entry.first.first == conversation; });
            return 0;
        default:
            break;
    }
    Item* entry = format == CF_TEXT ? FindItem(item) : nullptr;
    if (entry == nullptr) {
        return 0;
    }
    wchar_t name[256];
    const DWORD length = DdeQueryStringW(instance_, AsHsz(item), name, 256, CP_WINUNICODE);
    const std::string itemName = win::Narrow(std::wstring_view(name, length));
    const auto link = std::make_pair(conversation, DdeNameKey(itemName));
    switch (type) {
        case XTYP_ADVSTART:
            sent_.erase(link);
            if (entry->hasValue) {
                // After the answer: the link exists only once this callback returned.
                Post([this, itemName] { Advise(itemName); });
            }
            return TRUE;
        case XTYP_ADVSTOP:
            sent_.erase(link);
            return 0;
        case XTYP_ADVREQ: {
            auto sent = sent_.find(link);
            if (!entry->hasValue || (sent != sent_.end() && sent->second == entry->generation)) {
                return 0;
            }
            sent_[link] = entry->generation;
            return DataHandle(item, entry->value);
        }
        case XTYP_REQUEST:
            return DataHandle(item, entry->hasRequestText ? entry->requestText : entry->value);
        default:
            return 0;
    }
}

}  // namespace tarvedde
