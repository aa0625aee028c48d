#include "toolbar_collection.h"

namespace zuv {

ComPtr<_xToolBarCollection> NewToolBarCollection() {
    return ComPtr<_xToolBarCollection>::Adopt(MakeObject<ToolBarCollection>());
}

}  // namespace zuv
