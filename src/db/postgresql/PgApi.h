#pragma once
#include "db/CallingConvention.h"
#include "db/ClientLibrary.h"

#include <libpq-fe.h>

#include <memory>

namespace brivel::db {

// The libpq functions the adapter calls, resolved from a library loaded at run time.
struct PgApi {
    decltype(&PQconnectStartParams) connectStartParams;
    decltype(&PQconnectPoll) connectPoll;
    decltype(&PQsetErrorVerbosity) setErrorVerbosity;
    decltype(&PQresultErrorField) resultErrorField;
    decltype(&PQstatus) status;
    decltype(&PQerrorMessage) errorMessage;
    decltype(&PQfinish) finish;
    decltype(&PQsetNoticeProcessor) setNoticeProcessor;
    decltype(&PQtransactionStatus) transactionStatus;
    decltype(&PQexec) exec;
    decltype(&PQexecParams) execParams;
    decltype(&PQresultStatus) resultStatus;
    decltype(&PQresultErrorMessage) resultErrorMessage;
    decltype(&PQcmdStatus) cmdStatus;
    decltype(&PQclear) clear;
    decltype(&PQntuples) ntuples;
    decltype(&PQnfields) nfields;
    decltype(&PQfname) fname;
    decltype(&PQgetvalue) getvalue;
    decltype(&PQgetisnull) getisnull;
    decltype(&PQgetCancel) getCancel;
    decltype(&PQcancel) cancel;
    decltype(&PQfreeCancel) freeCancel;
    decltype(&PQsocket) socket;

    // Throws naming the library file and the first missing function.
    explicit PgApi(const ClientLibrary& lib);

    // The table of `lib`, resolved once per loaded library.
    static std::shared_ptr<const PgApi> For(const std::shared_ptr<ClientLibrary>& lib);
};

// libpq uses the C convention on Windows too.
static_assert(AllCdecl<
    decltype(PgApi::connectStartParams),
    decltype(PgApi::connectPoll),
    decltype(PgApi::setErrorVerbosity),
    decltype(PgApi::resultErrorField),
    decltype(PgApi::status),
    decltype(PgApi::errorMessage),
    decltype(PgApi::finish),
    decltype(PgApi::setNoticeProcessor),
    decltype(PgApi::transactionStatus),
    decltype(PgApi::exec),
    decltype(PgApi::execParams),
    decltype(PgApi::resultStatus),
    decltype(PgApi::resultErrorMessage),
    decltype(PgApi::cmdStatus),
    decltype(PgApi::clear),
    decltype(PgApi::ntuples),
    decltype(PgApi::nfields),
    decltype(PgApi::fname),
    decltype(PgApi::getvalue),
    decltype(PgApi::getisnull),
    decltype(PgApi::getCancel),
    decltype(PgApi::cancel),
    decltype(PgApi::freeCancel),
    decltype(PgApi::socket)>,
              "the libpq function table must use the library's calling convention");

} // namespace brivel::db
