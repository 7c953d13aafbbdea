#pragma once

// Exchanges the databases of country 34 and country 41 (with their
// competition ids and codes rewritten to those of the new owner), then calls
// SwapCountryReferences().  Prints one dot before each of its two passes, 208
// dots in all with the second stage.  Fails the run when either database
// could not be moved to its backup.
void SwapCountryDatabases();

// One column of the file exchange: which backup is rewritten into which
// database, and the old and new texts of each rewrite (each new text as long
// as the old one).
struct TransferPass {
  const char* fileRead;
  const char* fileWritten;
  const char* fileWrittenBackup;  // where the file written was moved before
  const char* oldLeadingCode;  // 2 characters
  const char* newLeadingCode;
  const char* oldInnerCode;  // 3 characters
  const char* newInnerCode;
  const char* oldCompetitionPrefix;  // 6 characters
  const char* newCompetitionPrefix;
  const char* oldPoolPrefix;  // 23 characters
  const char* newPoolPrefix;
};

// Pass 1 writes country 41's database as country 34's; pass 2 the reverse.
extern const TransferPass kPass41To34;
extern const TransferPass kPass34To41;

// Rewrites `pass.fileRead` into `pass.fileWritten`, changing the ids and codes
// in its competition part, competition, teams and pool lines.  Streams one
// line at a time; leaves the shared streams closed and good.
void TransferCountryFile(const TransferPass& pass);
