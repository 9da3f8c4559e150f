// Under LeakSanitizer: the ODBC driver manager and the drivers keep some allocations for the
// life of the process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libodbc.so\n"
           "leak:libodbcinst.so\n"
           "leak:libtdsodbc.so\n"
           "leak:psqlodbcw.so\n"
           "leak:libpq.so\n"
           "leak:libgssapi_krb5.so\n"
           "leak:libkrb5.so\n"
           "leak:libcrypto.so\n"
           "leak:libssl.so\n";
}
