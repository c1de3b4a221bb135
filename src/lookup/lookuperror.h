#pragma once

#include "common/veskexception.h"
#include "lookup/lookupfailure.h"

// Ends a lookup's conversation with a failure already put in words: raised where the failure is
// found, caught by the lookup, which reports it. It is a VeskException of the failure's kind, so
// code that catches those (a goodbye that may fail, the parsers' callers) treats it alike.
class LookupError : public VeskException {
public:
    explicit LookupError(LookupFailure failure)
        : VeskException(failure.what, failure.what, failure.kind), m_failure(std::move(failure))
    {
    }
    const LookupFailure& failure() const { return m_failure; }

private:
    LookupFailure m_failure;
};
