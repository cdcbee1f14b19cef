// Registering the logon task through the Task Scheduler 2.0 interfaces.
// Each step has a stage code, so that a failure says where it stopped.
#include "logon_task.h"

#include <windows.h>
#include <oleauto.h>
#include <string.h>
#include <taskschd.h>

#include "setup_base.h"

// MinGW-w64's taskschd.h lacks the logon trigger's interface; only its id is
// needed, as the trigger's id is set through ITrigger, its base.
static const IID kIidLogonTrigger = {0x72dade38, 0xfae4, 0x4b3e, {0xba, 0xf4, 0x5d, 0x00, 0x9a, 0xf0, 0x2b, 0x1c}};

bool GetWellKnownGroupName(unsigned long relativeId, char* name, unsigned long* cch) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, relativeId, 0, 0, 0, 0, 0, 0, &sid))
        return false;
    char domain[kCchPath];
    DWORD cchDomain = countof(domain);
    DWORD cchName = *cch;
    SID_NAME_USE use;
    bool ok = LookupAccountSidA(nullptr, sid, name, &cchName, domain, &cchDomain, &use) != 0;
    if (ok)
        *cch = (unsigned long)strlen(name);
    FreeSid(sid);
    return ok;
}

// A BSTR of an 8-bit text (null when it cannot be made).
static BSTR WideString(const char* text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0)
        return nullptr;
    BSTR s = SysAllocStringLen(nullptr, n - 1);
    if (s)
        MultiByteToWideChar(CP_ACP, 0, text, -1, s, n);
    return s;
}

static VARIANT TextVariant(BSTR text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = text;
    return v;
}

// Registers the definition for one group (relative id). 0 or the stage code.
static int RegisterForGroup(ITaskFolder* root, BSTR name, ITaskDefinition* task, unsigned long group, int stage) {
    char groupName[kCchPath];
    unsigned long cch = countof(groupName);
    if (!GetWellKnownGroupName(group, groupName, &cch))
        return stage;
    BSTR user = WideString(groupName);
    BSTR empty = SysAllocString(L"");
    VARIANT userVar = TextVariant(user), password = TextVariant(empty), sddl = TextVariant(empty);
    IRegisteredTask* registered = nullptr;
    HRESULT hr = user && empty ? root->RegisterTaskDefinition(name, task, TASK_CREATE_OR_UPDATE, userVar, password,
                                                              TASK_LOGON_GROUP, sddl, &registered)
                               : E_OUTOFMEMORY;
    if (registered)
        registered->Release();
    SysFreeString(user);
    SysFreeString(empty);
    return SUCCEEDED(hr) ? 0 : stage + 1;
}

// Fills a new task definition and registers it. 0 or the stage code.
static int DefineAndRegister(ITaskService* service, ITaskFolder* root, BSTR name, const char* program,
                             const char* arguments) {
    ITaskDefinition* task = nullptr;
    IRegistrationInfo* info = nullptr;
    ITaskSettings* settings = nullptr;
    IPrincipal* principal = nullptr;
    ITriggerCollection* triggers = nullptr;
    ITrigger* trigger = nullptr;
    ITrigger* logon = nullptr;
    IActionCollection* actions = nullptr;
    IAction* action = nullptr;
    IExecAction* exec = nullptr;
    BSTR author = SysAllocString(L"Tarnwick"), limit = SysAllocString(L"PT0S"), id = SysAllocString(L"Trigger1");
    BSTR path = WideString(program), args = WideString(arguments ? arguments : "");
    int stage = 0;
    if (FAILED(service->NewTask(0, &task)))
        stage = 6;
    else if (FAILED(task->get_RegistrationInfo(&info)))
        stage = 7;
    else if (FAILED(info->put_Author(author)))
        stage = 8;
    else if (FAILED(task->get_Settings(&settings)))
        stage = 9;
    else if (FAILED(settings->put_StartWhenAvailable(VARIANT_TRUE)) ||
             FAILED(settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE)) ||
             FAILED(settings->put_StopIfGoingOnBatteries(VARIANT_FALSE)) ||
             FAILED(settings->put_ExecutionTimeLimit(limit)))
        stage = 10;
    else if (FAILED(task->get_Principal(&principal)))
        stage = 11;
    else if (FAILED(principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST)))
        stage = 12;
    else if (FAILED(task->get_Triggers(&triggers)))
        stage = 13;
    else if (FAILED(triggers->Create(TASK_TRIGGER_LOGON, &trigger)))
        stage = 14;
    else if (FAILED(trigger->QueryInterface(kIidLogonTrigger, (void**)&logon)) || FAILED(logon->put_Id(id)))
        stage = 15;
    else if (FAILED(task->get_Actions(&actions)))
        stage = 16;
    else if (FAILED(actions->Create(TASK_ACTION_EXEC, &action)))
        stage = 17;
    else if (FAILED(action->QueryInterface(IID_IExecAction, (void**)&exec)))
        stage = 18;
    else if (!path || !args || FAILED(exec->put_Path(path)) || FAILED(exec->put_Arguments(args)))
        stage = 19;
    else if ((stage = RegisterForGroup(root, name, task, DOMAIN_ALIAS_RID_ADMINS, 20)) == 0)
        stage = RegisterForGroup(root, name, task, DOMAIN_ALIAS_RID_USERS, 22);
    IUnknown* all[] = {exec, action, actions, logon, trigger, triggers, principal, settings, info, task};
    for (IUnknown* u : all)
        if (u)
            u->Release();
    BSTR texts[] = {author, limit, id, path, args};
    for (BSTR s : texts)
        SysFreeString(s);
    return stage;
}

int SetLogonTask(const char* taskName, const char* program, const char* arguments) {
    // A thread that has COM already (the shell starts it for ShellExecute)
    // keeps its apartment.
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE)
        return 1;
    int stage = 0;
    HRESULT security = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                            RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, 0, nullptr);
    ITaskService* service = nullptr;
    ITaskFolder* root = nullptr;
    BSTR name = WideString(taskName), rootPath = SysAllocString(L"\\");
    VARIANT none;
    VariantInit(&none);
    if (FAILED(security) && security != RPC_E_TOO_LATE)
        stage = 2;
    else if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                     (void**)&service)))
        stage = 3;
    else if (FAILED(service->Connect(none, none, none, none)))
        stage = 4;
    else if (!name || FAILED(service->GetFolder(rootPath, &root)))
        stage = 5;
    else {
        root->DeleteTask(name, 0);  // an absent task is no error
        if (program && *program)
            stage = DefineAndRegister(service, root, name, program, arguments);
    }
    if (root)
        root->Release();
    if (service)
        service->Release();
    SysFreeString(name);
    SysFreeString(rootPath);
    if (SUCCEEDED(init))
        CoUninitialize();
    return stage;
}
