#include "platform/eora/eora_privileges.h"
#include "tests/platform/eora/eora_test_service.h"

#include <algorithm>
#include <set>

namespace {

class EoraPrivileges : public eora_test::service {
protected:
    void SetUp() override
    {
        eora_test::service::SetUp();
        run("create user owner identified by pw");
        run("grant create session, create table to owner");
        run("create table owner.t (id number, v varchar2(10))");
        run("insert into owner.t values (1, 'one')");
        run("create sequence owner.s");
        run("commit");
    }
    // A user of its own, holding `privileges` (none when empty), logged on.
    std::unique_ptr<eora::session> user_with(const std::string& privileges)
    {
        run("create user app identified by pw");
        if (!privileges.empty()) run("grant " + privileges + " to app");
        return std::make_unique<eora::session>(file, "APP", "pw");
    }
    static int logon_error(const std::string& file, const std::string& user)
    {
        try {
            eora::session s(file, user, "pw");
        } catch (const eora::eora_error& e) {
            return e.number();
        }
        return 0;
    }
};

TEST_F(EoraPrivileges, LogonNeedsCreateSession)
{
    run("create user app identified by pw");
    try {
        eora::session refused(file, "APP", "pw");
        FAIL() << "a user without CREATE SESSION logged on";
    } catch (const eora::eora_error& e) {
        EXPECT_EQ(e.number(), 1045);
        EXPECT_EQ(e.text(), "ORA-01045: user APP lacks CREATE SESSION privilege; logon denied");
    }
    EXPECT_EQ(logon_error(file, "NOSUCH"), 1017);
    run("grant create session to app");
    EXPECT_EQ(logon_error(file, "APP"), 0);
    run("revoke create session from app");
    EXPECT_EQ(logon_error(file, "APP"), 1045);
    run("grant dba to app");
    EXPECT_EQ(logon_error(file, "APP"), 0);
}

TEST_F(EoraPrivileges, AUserHasEveryRightOnItsOwnSchemaButCreatingTablesAndSequences)
{
    auto app = user_with("create session");
    EXPECT_EQ(error_on(*app, "create table mine (a number)"), 1031);
    EXPECT_EQ(error_on(*app, "create sequence mine_seq"), 1031);
    EXPECT_EQ(error_on(*app, "create view mine_v as select 1 x from dual"), 1031);
    run("grant create table, create sequence, create trigger to app");
    // A grant holds for the sessions already open.
    EXPECT_EQ(error_on(*app, "create table mine (a number, b varchar2(5))"), 0);
    EXPECT_EQ(error_on(*app, "create sequence mine_seq"), 0);
    EXPECT_EQ(error_on(*app, "create index mine_ix on mine (b)"), 0);
    EXPECT_EQ(error_on(*app, "alter table mine add constraint mine_pk primary key (a)"), 0);
    EXPECT_EQ(error_on(*app,
                       "create trigger mine_trg before insert on mine for each row when (new.a is null) "
                       "begin select mine_seq.nextval into :new.a from dual; end;"),
              0);
    EXPECT_EQ(error_on(*app, "insert into mine (b) values ('x')"), 0);
    EXPECT_EQ(error_on(*app, "update mine set b = 'y'"), 0);
    EXPECT_EQ(run_on(*app, "select a, b from mine"), (std::vector<std::string>{"1|y|"}));
    EXPECT_EQ(error_on(*app, "delete from mine"), 0);
    EXPECT_EQ(error_on(*app, "truncate table mine"), 0);
    EXPECT_EQ(error_on(*app, "comment on column mine.b is 'note'"), 0);
    EXPECT_EQ(error_on(*app, "drop index mine_ix"), 0);
    EXPECT_EQ(error_on(*app, "drop sequence mine_seq"), 0);
    EXPECT_EQ(error_on(*app, "drop table mine"), 0);
    // Nothing of another schema, and no users.
    EXPECT_EQ(error_on(*app, "create user other identified by pw"), 1031);
    EXPECT_EQ(error_on(*app, "alter user owner quota unlimited on users"), 1031);
    EXPECT_EQ(error_on(*app, "create table owner.u (a number)"), 1031);
    EXPECT_EQ(error_on(*app, "select * from owner.t"), 942);
    EXPECT_EQ(error_on(*app, "insert into owner.t values (2, 'two')"), 942);
    EXPECT_EQ(error_on(*app, "select owner.s.nextval from dual"), 2289);
    EXPECT_EQ(error_on(*app, "select count(*) from dba_users"), 942);
    // Its own password it may change.
    EXPECT_EQ(error_on(*app, "alter user app identified by other"), 0);
    EXPECT_EQ(error_on(*app, "alter user app quota unlimited on users"), 1031);
    app.reset();
    EXPECT_NO_THROW(eora::session(file, "APP", "other"));
    EXPECT_EQ(run("select count(*) from owner.t"), (std::vector<std::string>{"1|"}));
}

// Each statement the converter sends to another schema, with the privilege it needs there.
TEST_F(EoraPrivileges, EachStatementOnAnotherSchemaNeedsItsAnyPrivilege)
{
    struct step {
        std::string privilege, sql;
        int without = 1031;
    };
    const std::vector<step> steps = {
        {"CREATE USER", "create user other identified externally"},
        {"ALTER USER", "alter user other quota unlimited on users"},
        {"CREATE ANY TABLE", "create table owner.c (id number, p number, v varchar2(10), d clob)"},
        {"ALTER ANY TABLE", "alter table owner.c add constraint c_pk primary key (id)"},
        {"ALTER ANY TABLE", "alter table owner.c add foreign key (p) references owner.c (id)"},
        {"ALTER ANY TABLE", "alter table owner.c modify (v not null)"},
        {"CREATE ANY INDEX", "create index owner.c_v on owner.c (v)"},
        {"CREATE ANY SEQUENCE", "create sequence owner.c_seq"},
        {"CREATE ANY TRIGGER",
         "create or replace trigger owner.c_trg before insert on owner.c for each row "
         "when (new.id is null) begin select c_seq.nextval into :new.id from dual; end;"},
        {"INSERT ANY TABLE", "insert into owner.c (v, d) values ('x', empty_clob())"},
        {"UPDATE ANY TABLE", "update owner.c set v = 'y' where id = 1"},
        {"DELETE ANY TABLE", "delete from owner.c where id = 2"},
        {"SELECT ANY SEQUENCE", "select owner.c_seq.nextval from dual", 2289},
        {"COMMENT ANY TABLE", "comment on column owner.c.v is 'v'"},
        {"DROP ANY INDEX", "drop index owner.c_v"},
        {"DROP ANY TRIGGER", "drop trigger owner.c_trg"},
        {"DROP ANY SEQUENCE", "drop sequence owner.c_seq"},
        {"DROP ANY TABLE", "truncate table owner.c"},
        {"DROP ANY TABLE", "drop table owner.c cascade constraints"},
    };
    // Seeing the other schema's tables, a user lacking a privilege is told so.
    auto app = user_with("create session, select any table");
    std::set<std::string> granted;
    for (const auto& st : steps) {
        if (granted.insert(st.privilege).second) {
            EXPECT_EQ(error_on(*app, st.sql), st.without) << st.sql;
        }
        run("grant " + st.privilege + " to app");
        EXPECT_EQ(error_on(*app, st.sql), 0) << st.sql;
        app->commit();
    }
    // A revoked privilege no longer serves.
    run("revoke create any table from app");
    EXPECT_EQ(error_on(*app, "create table owner.c (id number)"), 1031);
    EXPECT_EQ(run("select count(*) from all_tables where owner = 'OWNER' and table_name = 'C'"),
              (std::vector<std::string>{"0|"}));
}

TEST_F(EoraPrivileges, GrantAndRevokeAsOracleAnswersThem)
{
    run("create user app identified by pw");
    run("grant create session, create any table, select any table to app");
    run("grant insert any table to app with admin option");
    EXPECT_EQ(run("select privilege, admin_option from dba_sys_privs where grantee = 'APP' order by privilege"),
              (std::vector<std::string>{"CREATE ANY TABLE|NO|", "CREATE SESSION|NO|", "INSERT ANY TABLE|YES|",
                                        "SELECT ANY TABLE|NO|"}));
    EXPECT_EQ(error_of("grant create anything to app"), 990);
    EXPECT_EQ(error_of("grant create session to nobody"), 1917);
    EXPECT_EQ(error_of("grant resource_manager to app"), 1919);
    EXPECT_EQ(error_of("revoke drop any table from app"), 1952);
    EXPECT_EQ(error_of("revoke dba from app"), 1951);
    {
        eora::session app(file, "APP", "pw");
        EXPECT_EQ(run_on(app, "select privilege from session_privs order by privilege"),
                  (std::vector<std::string>{"CREATE ANY TABLE|", "CREATE SESSION|", "INSERT ANY TABLE|",
                                            "SELECT ANY TABLE|"}));
        EXPECT_EQ(run_on(app, "select count(*) from user_sys_privs"), (std::vector<std::string>{"4|"}));
        // Granting needs a privilege of its own.
        EXPECT_EQ(error_on(app, "grant create session to owner"), 1031);
        EXPECT_EQ(error_on(app, "grant dba to app"), 1031);
    }
    run("revoke create any table, select any table from app");
    run("grant dba to app");
    {
        eora::session app(file, "APP", "pw");
        EXPECT_EQ(run_on(app, "select granted_role from user_role_privs"), (std::vector<std::string>{"DBA|"}));
        const auto privs = run_on(app, "select privilege from session_privs");
        EXPECT_EQ(privs.size(), eora::priv::all().size());
        EXPECT_EQ(error_on(app, "select count(*) from dba_users"), 0);
        EXPECT_EQ(error_on(app, "create table owner.u (a number)"), 0);
    }
    // SYSTEM holds DBA from the start.
    EXPECT_EQ(run("select granted_role from user_role_privs"), (std::vector<std::string>{"DBA|"}));
}

} // namespace
