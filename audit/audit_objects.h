// The audit library's creatable class.
#pragma once

#include <windows.h>

#include "audit_engine.h"
#include "zuvXCHandlerAudit.h"

namespace zuv::audit {

HRESULT CreateAudit(REFIID iid, void** out) noexcept;

}  // namespace zuv::audit
