// A fresh embedded Oracle service per test, driven only through OCI calls.
#pragma once
#include "platform/eora/eora_session.h"
#include "platform/eora/eora_text.h"
#include "platform/oci/oci.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace oci_test {

inline std::u16string u16(const std::string& s) { return eora::to_utf16(s); }
inline std::string narrow(const std::u16string& s) { return eora::to_utf8(s); }

// One connected client: environment, handles, attach and log on.
struct client {
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISession* ses = nullptr;
    OCISvcCtx* svc = nullptr;

    client()
    {
        OCIEnvNlsCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr, OCI_UTF16ID, OCI_UTF16ID);
        OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
        OCIHandleAlloc(env, reinterpret_cast<void**>(&srv), OCI_HTYPE_SERVER, 0, nullptr);
        OCIHandleAlloc(env, reinterpret_cast<void**>(&ses), OCI_HTYPE_SESSION, 0, nullptr);
        OCIHandleAlloc(env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
    }
    ~client()
    {
        OCIHandleFree(svc, OCI_HTYPE_SVCCTX);
        OCIHandleFree(ses, OCI_HTYPE_SESSION);
        OCIHandleFree(srv, OCI_HTYPE_SERVER);
        OCIHandleFree(err, OCI_HTYPE_ERROR);
        OCIHandleFree(env, OCI_HTYPE_ENV);
    }
    client(const client&) = delete;
    client& operator=(const client&) = delete;

    // Attach and log on; returns the status of the first failing call.
    sword connect(const std::string& ds, const std::string& user, const std::string& pw)
    {
        std::u16string d = u16(ds), u = u16(user), p = u16(pw);
        sword rc = OCIServerAttach(srv, err, reinterpret_cast<const OraText*>(d.data()), static_cast<sb4>(d.size() * 2),
                                   OCI_DEFAULT);
        if (rc != OCI_SUCCESS) return rc;
        OCIAttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
        OCIAttrSet(ses, OCI_HTYPE_SESSION, u.data(), static_cast<ub4>(u.size() * 2), OCI_ATTR_USERNAME, err);
        OCIAttrSet(ses, OCI_HTYPE_SESSION, p.data(), static_cast<ub4>(p.size() * 2), OCI_ATTR_PASSWORD, err);
        rc = OCISessionBegin(svc, err, ses, OCI_CRED_RDBMS, OCI_DEFAULT);
        if (rc != OCI_SUCCESS) return rc;
        return OCIAttrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err);
    }

    // "ORA-nnnnn: text" of the last error.
    std::string error()
    {
        std::vector<char16_t> buf(256);
        sb4 code = 0;
        if (OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf.data()), 512, OCI_HTYPE_ERROR) !=
            OCI_SUCCESS)
            return {};
        return narrow(buf.data());
    }
    int error_code()
    {
        std::vector<char16_t> buf(256);
        sb4 code = 0;
        OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf.data()), 512, OCI_HTYPE_ERROR);
        return code;
    }

    // Runs one statement without binds; the ORA number on failure, 0 on success.
    int run(const std::string& sql, ub4 mode = OCI_DEFAULT)
    {
        OCIStmt* st = nullptr;
        OCIHandleAlloc(env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
        std::u16string t = u16(sql);
        OCIStmtPrepare(st, err, reinterpret_cast<const OraText*>(t.data()), static_cast<ub4>(t.size() * 2),
                       OCI_NTV_SYNTAX, OCI_DEFAULT);
        sword rc = OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, mode);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        if (rc == OCI_ERROR) return error_code();
        return 0;
    }

    // Runs a query and returns every row as texts ("<null>" for NULL).
    std::vector<std::vector<std::string>> rows(const std::string& sql, int* ora = nullptr)
    {
        std::vector<std::vector<std::string>> out;
        OCIStmt* st = nullptr;
        OCIHandleAlloc(env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
        std::u16string t = u16(sql);
        OCIStmtPrepare(st, err, reinterpret_cast<const OraText*>(t.data()), static_cast<ub4>(t.size() * 2),
                       OCI_NTV_SYNTAX, OCI_DEFAULT);
        sword rc = OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        if (ora) *ora = rc == OCI_ERROR ? error_code() : 0;
        if (rc == OCI_ERROR) {
            OCIHandleFree(st, OCI_HTYPE_STMT);
            return out;
        }
        ub4 n = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &n, nullptr, OCI_ATTR_PARAM_COUNT, err);
        std::vector<std::vector<char16_t>> bufs(n, std::vector<char16_t>(4001));
        std::vector<sb2> inds(n);
        for (ub4 i = 0; i < n; ++i) {
            OCIDefine* d = nullptr;
            OCIDefineByPos(st, &d, err, i + 1, bufs[i].data(), 8002, SQLT_STR, &inds[i], nullptr, nullptr, OCI_DEFAULT);
        }
        for (;;) {
            rc = OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
            if (rc == OCI_NO_DATA) break;
            if (rc == OCI_ERROR) {
                if (ora) *ora = error_code();
                break;
            }
            std::vector<std::string> row;
            for (ub4 i = 0; i < n; ++i) row.push_back(inds[i] == -1 ? "<null>" : narrow(bufs[i].data()));
            out.push_back(std::move(row));
        }
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return out;
    }
};

// A temporary folder holding service ORCL with SYSTEM/manager.
struct service_dir {
    std::filesystem::path dir;
    service_dir()
    {
        dir = std::filesystem::temp_directory_path() /
              ("eora_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        eora::session::create_service((dir / "ORCL.db").string(), "manager");
    }
    ~service_dir()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string ds() const { return "//file:" + dir.string() + ":1521/ORCL"; }
    static int& counter()
    {
        static int c = 0;
        return c;
    }
};

class OciTest : public ::testing::Test {
protected:
    service_dir svc_dir;
    client c;
    void SetUp() override
    {
        ASSERT_EQ(c.connect(svc_dir.ds(), "system", "manager"), OCI_SUCCESS) << c.error();
        oci_test_clear_injections();
    }
    void exec(const std::string& sql) { ASSERT_EQ(c.run(sql), 0) << sql << "\n" << c.error(); }
};

} // namespace oci_test
