// The peer corpus (tests/regexp/data, see its README): every record is
// compiled, searched from offset 0 and compared with the expected match and
// capture records.
#include "regexp/corpus.h"
#include "regexp/rxtest.h"

namespace {

using qtest::narrow;

class PeerCorpus : public qtest::rxtest {};

TEST_F(PeerCorpus, EveryRecordPasses)
{
    int bad = 0;
    const std::vector<qtest::corpusrecord> records = qtest::readcorpus(bad);
    ASSERT_FALSE(records.empty()) << "cannot read " << QUORVEL_REGEX_CORPUS;
    EXPECT_EQ(bad, 0);
    int failed = 0;
    for (const qtest::corpusrecord& rec : records) {
        const int r = match(rec.pattern.c_str(), rec.subject.c_str());
        std::string why;
        if (!rec.matches) {
            if (r != 0 && r != rxanchor)
                why = "expected no match, got " + std::to_string(r) + " " + narrow(matched());
        } else if (r != 1) {
            why = "expected a match, got " + std::to_string(r);
        } else if (matched() != rec.texts[0]) {
            why = "match \"" + narrow(matched()) + "\", expected \"" + narrow(rec.texts[0]) + "\"";
        } else if (rec.ncap >= 0) {
            const uint32_t n = uint32_t(rec.ncap);
            if (rx->ncaps != n) {
                why = "captures " + narrow(captures()) + " (" + std::to_string(rx->ncaps) + "), expected " +
                      std::to_string(n);
            } else {
                for (uint32_t k = 1; k <= n && why.empty(); ++k)
                    if (capture(k) != rec.texts[k])
                        why = "capture " + std::to_string(k) + " \"" + narrow(capture(k)) + "\", expected \"" +
                              narrow(rec.texts[k]) + "\"";
            }
        }
        if (!why.empty()) {
            ++failed;
            ADD_FAILURE() << rec.id << " /" << narrow(rec.pattern) << "/ on \"" << narrow(rec.subject)
                          << "\": " << why;
        }
        EXPECT_TRUE(fatals.empty()) << rec.id << ": " << narrow(fatals.front());
        fatals.clear();
    }
    EXPECT_EQ(records.size(), 862u);
    EXPECT_EQ(failed, 0);
}

}  // namespace
