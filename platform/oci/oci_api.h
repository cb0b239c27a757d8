// The table of OCI functions the product calls: one entry a function, filled
// from the embedded Oracle or looked up by name in a client library.
#pragma once
#include "platform/oci/oci.h"

// Every OCI function the product uses. A client library must have each one.
#define TVX_OCI_FUNCTIONS(X) \
    X(OCIEnvNlsCreate)       \
    X(OCIHandleAlloc)        \
    X(OCIHandleFree)         \
    X(OCIDescriptorAlloc)    \
    X(OCIDescriptorFree)     \
    X(OCIAttrSet)            \
    X(OCIAttrGet)            \
    X(OCIParamGet)           \
    X(OCIErrorGet)           \
    X(OCIServerAttach)       \
    X(OCIServerDetach)       \
    X(OCISessionBegin)       \
    X(OCISessionEnd)         \
    X(OCITransCommit)        \
    X(OCITransRollback)      \
    X(OCIStmtPrepare)        \
    X(OCIDefineByPos)        \
    X(OCIBindByPos)          \
    X(OCIBindByName)         \
    X(OCIBindDynamic)        \
    X(OCIStmtExecute)        \
    X(OCIStmtFetch)          \
    X(OCILobCharSetForm)     \
    X(OCILobGetLength)       \
    X(OCILobRead)            \
    X(OCILobWrite)           \
    X(OCIDateTimeGetDate)    \
    X(OCIDateTimeGetTime)

struct oci_api {
#define TVX_OCI_API_MEMBER(name) decltype(&::name) name = nullptr;
    TVX_OCI_FUNCTIONS(TVX_OCI_API_MEMBER)
#undef TVX_OCI_API_MEMBER
};

// The embedded Oracle's functions.
const oci_api& oci_embedded_api();
