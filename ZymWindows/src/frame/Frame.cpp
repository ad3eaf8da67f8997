#include "ZymWindows/ZymWindowsMsg-I.h"
#include "frame/FramePlatform.h"

#include <ZymMessages/ZymMessages.h>

namespace ZymWindows {

namespace {

// Registers the catalog at load and releases it at unload. The first
// registration in the process initialises the catalog, the last frees it.
class CatalogRegistration {
public:
    CatalogRegistration() {
        if (ZymMessagesInit::ms_Cnt++ == 0)
            ZymMessages::Init();
        ZymMessages::Load(MessageCatalog::BLOB.data(), MessageCatalog::BLOB.size(),
                          MSG_CATALOG_NAME);
    }
    ~CatalogRegistration() {
        if (--ZymMessagesInit::ms_Cnt == 0)
            ZymMessages::Free();
    }
    CatalogRegistration(const CatalogRegistration&) = delete;
    CatalogRegistration& operator=(const CatalogRegistration&) = delete;
};

const CatalogRegistration g_CatalogRegistration;

} // namespace

} // namespace ZymWindows
