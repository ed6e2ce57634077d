// What the store does with the file it finds: a pure decision from the
// facts that opening (or a statement later) found, carried out by
// Database::carry_out.
#pragma once

// What the file at the path is, from its first bytes.
enum class FileKind {
    Absent,       // no file yet: a fresh store is made
    Database,     // SQLite's header, or an empty file
    NotDatabase,  // bytes that are no SQLite database
};

// How a connection to the file fared.
enum class Probe {
    NotTried,
    Failed,    // would not open or read, without a sign of damage
    Damaged,   // the quick check or a statement found damage
    Sound,     // read-write: sound and set up; read-only: sound and read
};

struct OpenFacts {
    FileKind file = FileKind::Absent;
    // The read-write connection: Sound when it is set up and takes writes;
    // Failed also when the file or its folder takes no writes.
    Probe read_write = Probe::NotTried;
    // The read-only connection, tried when the file is marked read-only or
    // the read-write one could not write.
    Probe read_only = Probe::NotTried;
    // Setting the file aside was tried and refused: another program holds
    // it (or its log) open without delete sharing.
    bool held = false;
};

enum class OpenPlan {
    ReadWrite,           // the store as it is, for reading and writing
    ReadOnly,            // the store as it is, only read (it takes no writes)
    SetAsideAndSalvage,  // a damaged database: renamed aside, a fresh store gets what still reads
    SetAsideFresh,       // no database at all: renamed aside, a fresh store started
    KeepReadingDamaged,  // a damaged database that cannot be moved: read as it is, tried again later
    WaitForHeldFile,     // no database and cannot be moved: no store until it can be
    Closed,              // nothing to open (no folder, no access)
};

OpenPlan decide_open(const OpenFacts& facts);
