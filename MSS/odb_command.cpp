#include "MSS/odb_command.h"

#include "MSS/odb_exception.h"
#include "TK/tk_logger.h"

odb_command::odb_command(IOpenRowset* s) : session(s)
{
    tk_logger::log(1, "odb_command::ctor(1)");
    create_command();
}

odb_command::odb_command(IDBInitialize* data_source)
{
    tk_logger::log(1, "odb_command::ctor(2)");
    ole_com_ptr<IDBCreateSession> cs;
    odb_check(data_source->QueryInterface(IID_IDBCreateSession, cs.out()));
    odb_check(cs->CreateSession(nullptr, IID_IOpenRowset, reinterpret_cast<IUnknown**>(session.out())));
    create_command();
}

odb_command::~odb_command()
{
    text.release();
    session.release();
}

void odb_command::create_command()
{
    ole_com_ptr<IDBCreateCommand> cc;
    odb_check(session->QueryInterface(IID_IDBCreateCommand, cc.out()));
    ole_com_ptr<ICommand> cmd;
    odb_check(cc->CreateCommand(nullptr, IID_ICommand, reinterpret_cast<IUnknown**>(cmd.out())));
    odb_check(cmd->QueryInterface(IID_ICommandText, text.out()));
}

void odb_command::execute(const std::wstring& sql, IRowset** rowset)
{
    tk_logger::log(2, L"odb_command::execute(%s)", sql.c_str());
    odb_check(text->SetCommandText(DBGUID_DBSQL, sql.c_str()));
    if (rowset) {
        *rowset = nullptr;
        odb_check(text->Execute(nullptr, IID_IRowset, nullptr, nullptr, reinterpret_cast<IUnknown**>(rowset)));
    } else {
        odb_check(text->Execute(nullptr, IID_NULL, nullptr, nullptr, nullptr));
    }
}
