#include "extension/DocPrompt.h"

#include "extension/LumoraPrintingExtension.h"

void DocPrompt::run()
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::instance();
    if (extension)
        result_ = extension->prompt(parent_, parameter_);
}
