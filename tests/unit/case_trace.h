// CASE_TRACE(message): names the case that the failures in its scope belong
// to, as SCOPED_TRACE does, but without GoogleTest's per-thread trace. On
// Windows that trace starts a thread which waits for the main one, and Wine
// now and then kills a process that ends while such a thread is still
// starting (a SIGSEGV after the last line of a passed test;
// tests/platform/exit_while_thread_starts.cpp shows it without GoogleTest).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

inline std::vector<std::string>& caseTraces()
{
    static std::vector<std::string> traces;
    return traces;
}

class CaseTrace {
public:
    explicit CaseTrace(const ::testing::Message& message) { caseTraces().push_back(message.GetString()); }
    ~CaseTrace() { caseTraces().pop_back(); }
    CaseTrace(const CaseTrace&) = delete;
    CaseTrace& operator=(const CaseTrace&) = delete;
};

// Prints the cases in force under every failure, innermost first.
class CaseTracePrinter : public ::testing::EmptyTestEventListener {
    void OnTestPartResult(const ::testing::TestPartResult& result) override
    {
        if (!result.failed())
            return;
        for (auto it = caseTraces().rbegin(); it != caseTraces().rend(); ++it)
            std::printf("  in case: %s\n", it->c_str());
        std::fflush(stdout);
    }
};

inline const bool kCaseTracePrinterAdded =
    (::testing::UnitTest::GetInstance()->listeners().Append(new CaseTracePrinter), true);

#define CASE_TRACE_JOIN2(a, b) a##b
#define CASE_TRACE_JOIN(a, b) CASE_TRACE_JOIN2(a, b)
#define CASE_TRACE(message) CaseTrace CASE_TRACE_JOIN(caseTrace, __LINE__)(::testing::Message() << message)
