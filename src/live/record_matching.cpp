#include "live/record_matching.h"

#include "aircraft/matching.h"
#include "airports/stand.h"
#include "live/aircraft_rec.h"

namespace {

MatchSubject lf_subjectOf(const AircraftRec& ac) {
    return {ac.airline,
            ac.type,
            ac.regcode,
            ac.category,
            ac.isCargo,
            ac.liveryTitle,
            ac.touchdownSign,
            [&ac] { return gf_acLabel(ac); },
            [&ac] { return gf_acShortLabel(ac); }};
}

void lf_takeResults(AircraftRec& ac, const MatchSubject& subject) {
    ac.isCargo = subject.isCargo;
    ac.liveryTitle = subject.liveryTitle;
    ac.touchdownSign = subject.touchdownSign;
}

}  // namespace

void gf_matchLiveAc(AircraftRec& ac) {
    MatchSubject subject = lf_subjectOf(ac);
    gf_matchLiveAc(subject);
    lf_takeResults(ac, subject);
}

bool gf_matchParkedAc(AircraftRec& ac, bool standIsCargo, std::string_view standName) {
    MatchSubject subject = lf_subjectOf(ac);
    const bool matched = gf_matchParkedAc(subject, standIsCargo, standName);
    lf_takeResults(ac, subject);
    return matched;
}

bool gf_matchParkedAc(AircraftRec& ac, const Stand& stand) {
    return gf_matchParkedAc(ac, stand.cargo, stand.name);
}
