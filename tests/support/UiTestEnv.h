// What a dialog test needs: a private HKEY_CURRENT_USER, the process's
// printing extension (its settings carry the resource loader the dialogs
// read), and a way to point that loader at another resource module or
// language for one test. The extension is deleted at the end.
#pragma once

#include "core/ResourceLoader.h"
#include "extension/LumoraPrintingExtension.h"
#include "support/PrivateCurrentUser.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace testenv {

class UiTestEnv {
public:
    UiTestEnv();
    ~UiTestEnv();
    UiTestEnv(const UiTestEnv&) = delete;
    UiTestEnv& operator=(const UiTestEnv&) = delete;

    LumoraPrintingExtension* extension() const { return extension_; }
    // Makes the extension and the policy object again, so that they read
    // the settings and the policy as they are now.
    void remakeExtension();
    MPrint::ResourceLoader& loader() const;

    // The loader reads this module of the bin folder until the returned
    // scope ends, then the product's resource module again.
    class ModuleScope {
    public:
        ModuleScope(UiTestEnv& env, const std::wstring& moduleFile);
        ~ModuleScope();
        ModuleScope(const ModuleScope&) = delete;
        ModuleScope& operator=(const ModuleScope&) = delete;
        HMODULE module() const { return module_; }

    private:
        UiTestEnv& env_;
        HMODULE module_;
        std::wstring previous_;
    };

    // The loader's language until the scope ends (0x040D: right-to-left).
    class LanguageScope {
    public:
        LanguageScope(UiTestEnv& env, LANGID language);
        ~LanguageScope();
        LanguageScope(const LanguageScope&) = delete;
        LanguageScope& operator=(const LanguageScope&) = delete;

    private:
        UiTestEnv& env_;
        LANGID previous_;
    };

private:
    PrivateCurrentUser user_;
    LumoraPrintingExtension* extension_ = nullptr;
};

// A test suite sharing one UiTestEnv among its tests (the extension is made
// once per executable, as in a real host).
class UiSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { env_ = new UiTestEnv(); }
    static void TearDownTestSuite()
    {
        delete env_;
        env_ = nullptr;
    }
    static LumoraPrintingExtension* extension() { return env_->extension(); }

    static inline UiTestEnv* env_ = nullptr;
};

} // namespace testenv
