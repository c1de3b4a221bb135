#include "lookup/cddb/cddbtransport.h"

#include "lookup/cddb/cancellation.h"

CDDBTransport::~CDDBTransport() = default;
