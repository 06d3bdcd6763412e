// Fixed names of the demo data: branches, dishes, products, services.
#pragma once

namespace suite::db::Internal {
}
