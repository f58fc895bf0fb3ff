// The process's keyboard-input queue: a 256-byte ring read and written as a stream. One
// object per process, shared by every create.
#pragma once

#include "framework/streams/stream.h"

extern const VkGuid CLSID_VkStandardInput;

VkResult VkCreateStandardInput(IVkUnknown* outer, IVkUnknown** out);
