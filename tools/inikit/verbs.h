// The verbs of inikit. Each takes the arguments that follow its name on the
// command line (argv[0] is the first of them) and returns the exit code:
// 0 done, 2 usage error (after UsageError), others as the verb says.
#ifndef TOOLS_INIKIT_VERBS_H
#define TOOLS_INIKIT_VERBS_H

typedef int (*VerbFunction)(int argc, char** argv);

// Prints the usage line of the named verb on stderr and returns 2.
int UsageError(const char* verb);

// dump [--editable] FILE: loads FILE and prints its model as JSON.
int DumpVerb(int argc, char** argv);

// get [--kind byte|word|dword|text|heaptext|block:N] [--default VALUE] FILE SECTION KEY
// One typed read from a read-only stream; prints the value and a newline.
// Exit code 1 when the section or the key does not exist.
int GetVerb(int argc, char** argv);

// set [--kind byte|word|dword|text|block] [--hex] FILE SECTION KEY VALUE
// One typed store through an editable stream, which rewrites FILE. Exit
// code 1 when FILE could not be rewritten (it is then left as it was).
int SetVerb(int argc, char** argv);

// del FILE SECTION [KEY]: deletes a section, or one item of it. Exit code 1
// when FILE cannot be read (nothing is created) or not rewritten.
int DelVerb(int argc, char** argv);

// sections [--editable] FILE [PREFIX], keys [--editable] FILE SECTION [PREFIX]:
// the names the iterators yield, one per line; the file is never rewritten.
int SectionsVerb(int argc, char** argv);
int KeysVerb(int argc, char** argv);

#endif
