// One SAX reader for every document parsed on a thread while the scope
// lives: code that reads a batch of documents (a history load) opens a scope
// and pays for COM set-up and reader creation once instead of per document.
// The innermost scope of a thread lends its reader to one parse at a time;
// a parse that finds it lent out (a parse started from inside another) or
// finds no scope uses a reader of its own, as before. A scope belongs to the
// thread that made it and must end there, after every parse it lent to.
#pragma once

#include "core/ComGuids.h"

#include <wrl/client.h>

namespace MPrint {

class SaxReaderScope {
public:
    SaxReaderScope();
    ~SaxReaderScope();
    SaxReaderScope(const SaxReaderScope&) = delete;
    SaxReaderScope& operator=(const SaxReaderScope&) = delete;

    // The innermost scope's reader for the lease's life; null when there is
    // no scope, its reader is lent out, or it could not be made.
    class Lease {
    public:
        Lease();
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ISAXXMLReader* reader() const { return reader_; }

    private:
        SaxReaderScope* scope_ = nullptr;
        ISAXXMLReader* reader_ = nullptr;
    };

    // COM for a reader on the calling thread, through the thread's COM
    // record; initialised is set when there is an initialisation to undo
    // later. False when COM cannot be used on the thread.
    static bool initializeCom(bool& initialised);
    static void uninitializeCom();
    // A new MSXML reader with DTDs prohibited and no external entities, or null.
    static Microsoft::WRL::ComPtr<ISAXXMLReader> createReader();

private:
    SaxReaderScope* previous_;
    Microsoft::WRL::ComPtr<ISAXXMLReader> reader_;
    bool comInitialised_ = false;
    bool tried_ = false;
    bool lent_ = false;
};

} // namespace MPrint
