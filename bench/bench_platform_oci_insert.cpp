// Inserts 100,000 rows of ten mixed columns into the embedded Oracle the way
// the table writer does: one literal INSERT per row, RETURNING ROWID through
// a dynamic out-bind, committed on success. Prints rows per second and the
// time per row, split into the server's own work and SQLite's.
#include "platform/eora/eora_session.h"
#include "platform/eora/eora_text.h"
#include "platform/eora/eora_timing.h"
#include "platform/oci/oci.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

char16_t rowid_buf[64];
ub4 rowid_len = sizeof rowid_buf;
sb2 rowid_ind = 0;
ub2 rowid_rcode = 0;

sb4 in_cb(void*, OCIBind*, ub4, ub4, void** bufpp, ub4* alenp, ub1* piecep, void** indpp)
{
    static sb2 null_ind = -1;
    *bufpp = nullptr;
    *alenp = 0;
    *piecep = OCI_ONE_PIECE;
    *indpp = &null_ind;
    return OCI_CONTINUE;
}

sb4 out_cb(void*, OCIBind*, ub4, ub4, void** bufpp, ub4** alenpp, ub1* piecep, void** indpp, ub2** rcodepp)
{
    rowid_len = sizeof rowid_buf;
    *bufpp = rowid_buf;
    *alenpp = &rowid_len;
    *piecep = OCI_ONE_PIECE;
    *indpp = &rowid_ind;
    *rcodepp = &rowid_rcode;
    return OCI_CONTINUE;
}

int check(sword rc, OCIError* err, const char* what)
{
    if (rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO) return 0;
    char16_t buf[256] = {};
    sb4 code = 0;
    OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf, OCI_HTYPE_ERROR);
    std::fprintf(stderr, "%s failed: %s\n", what, eora::to_utf8(buf).c_str());
    std::exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    auto dir = std::filesystem::temp_directory_path() / ("bench_eora_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    eora::session::create_service((dir / "ORCL.db").string(), "manager");

    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISession* ses = nullptr;
    OCISvcCtx* svc = nullptr;
    OCIEnvNlsCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr, OCI_UTF16ID, OCI_UTF16ID);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 52, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&srv), OCI_HTYPE_SERVER, 52, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&ses), OCI_HTYPE_SESSION, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
    std::u16string ds = eora::to_utf16("//file:" + dir.string() + ":1521/ORCL"), user = u"system", pw = u"manager";
    check(OCIServerAttach(srv, err, reinterpret_cast<const OraText*>(ds.data()), static_cast<sb4>(ds.size() * 2),
                          OCI_DEFAULT),
          err, "attach");
    OCIAttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
    OCIAttrSet(ses, OCI_HTYPE_SESSION, user.data(), static_cast<ub4>(user.size() * 2), OCI_ATTR_USERNAME, err);
    OCIAttrSet(ses, OCI_HTYPE_SESSION, pw.data(), static_cast<ub4>(pw.size() * 2), OCI_ATTR_PASSWORD, err);
    check(OCISessionBegin(svc, err, ses, OCI_CRED_RDBMS, OCI_DEFAULT), err, "logon");
    OCIAttrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err);

    auto run = [&](const std::string& sql, bool returning) {
        OCIStmt* st = nullptr;
        OCIHandleAlloc(env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
        std::u16string t = eora::to_utf16(sql);
        check(OCIStmtPrepare(st, err, reinterpret_cast<const OraText*>(t.data()), static_cast<ub4>(t.size() * 2),
                             OCI_NTV_SYNTAX, OCI_DEFAULT),
              err, "prepare");
        if (returning) {
            OCIBind* b = nullptr;
            OCIBindByPos(st, &b, err, 1, nullptr, 64, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr,
                         OCI_DATA_AT_EXEC);
            OCIBindDynamic(b, err, nullptr, in_cb, nullptr, out_cb);
        }
        check(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, returning ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT),
              err, sql.c_str());
        OCIHandleFree(st, OCI_HTYPE_STMT);
    };
    run("CREATE TABLE \"SYSTEM\".\"BENCH\" (\"ID\" NUMBER(10,0) NOT NULL, \"NAME\" VARCHAR2(50), \"NOTE\" "
        "NVARCHAR2(100), "
        "\"AMOUNT\" NUMBER(12,2), \"RATE\" FLOAT, \"BORN\" DATE, \"SEEN\" TIMESTAMP(3), \"FLAG\" NUMBER(1), "
        "\"CODE\" RAW(16), \"QTY\" NUMBER(10,0))",
        false);

    auto t0 = std::chrono::steady_clock::now();
    for (long i = 0; i < rows; ++i) {
        char sql[1024];
        std::snprintf(
            sql, sizeof sql,
            "INSERT /*+ APPEND */ INTO \"SYSTEM\".\"BENCH\" (\"ID\", \"NAME\", \"NOTE\", \"AMOUNT\", \"RATE\", "
            "\"BORN\", "
            "\"SEEN\", \"FLAG\", \"CODE\", \"QTY\") VALUES(%ld, 'name %ld', 'it''s row %ld', %ld.%02ld, %ld.5E-3, "
            "to_date('%04ld-%02ld-%02ld', 'YYYY-MM-DD'), to_timestamp('2020-01-02 03:04:%02ld.123', "
            "'YYYY-MM-DD HH24:MI:SS.FF3'), %ld, '%032lX', %ld) RETURNING ROWID INTO :1",
            i, i, i, i, i % 100, i, 1900 + i % 120, 1 + i % 12, 1 + i % 28, i % 60, i % 2, i, i * 7);
        run(sql, true);
    }
    auto t1 = std::chrono::steady_clock::now();
    double total = std::chrono::duration<double>(t1 - t0).count();
    double store = static_cast<double>(eora::global_timing().store_ns.load()) / 1e9;
    std::printf("rows: %ld\n", rows);
    std::printf("rows per second: %.0f\n", rows / total);
    std::printf("microseconds per row: %.2f (embedded server and OCI: %.2f, SQLite: %.2f)\n", total * 1e6 / rows,
                (total - store) * 1e6 / rows, store * 1e6 / rows);
    OCISessionEnd(svc, err, ses, OCI_DEFAULT);
    OCIServerDetach(srv, err, OCI_DEFAULT);
    OCIHandleFree(svc, OCI_HTYPE_SVCCTX);
    OCIHandleFree(ses, OCI_HTYPE_SESSION);
    OCIHandleFree(srv, OCI_HTYPE_SERVER);
    OCIHandleFree(err, OCI_HTYPE_ERROR);
    OCIHandleFree(env, OCI_HTYPE_ENV);
    std::filesystem::remove_all(dir);
    return 0;
}
