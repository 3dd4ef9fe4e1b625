#include "support/UiTestEnv.h"

#include "extension/ManagedPrintPolicy.h"
#include "support/TestEnv.h"

#include <commctrl.h>

namespace testenv {

UiTestEnv::UiTestEnv()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    extension_ = LumoraPrintingExtension::instance();
}

UiTestEnv::~UiTestEnv()
{
    delete extension_;
    if (MPrint::ManagedPrintPolicy::hasInstance())
        delete MPrint::ManagedPrintPolicy::instance();
}

void UiTestEnv::remakeExtension()
{
    delete extension_;
    if (MPrint::ManagedPrintPolicy::hasInstance())
        delete MPrint::ManagedPrintPolicy::instance();
    extension_ = LumoraPrintingExtension::instance();
}

MPrint::ResourceLoader& UiTestEnv::loader() const
{
    return extension_->getSettings()->getResourceLoader();
}

UiTestEnv::ModuleScope::ModuleScope(UiTestEnv& env, const std::wstring& moduleFile)
    : env_(env), previous_(env.loader().getModuleName())
{
    env_.loader().load(binDir() + L"\\" + moduleFile);
    module_ = env_.loader().getModule();
}

UiTestEnv::ModuleScope::~ModuleScope()
{
    env_.loader().load(previous_);
}

UiTestEnv::LanguageScope::LanguageScope(UiTestEnv& env, LANGID language)
    : env_(env), previous_(env.loader().getLanguage())
{
    env_.loader().setLanguage(language);
}

UiTestEnv::LanguageScope::~LanguageScope()
{
    env_.loader().setLanguage(previous_);
}

} // namespace testenv
