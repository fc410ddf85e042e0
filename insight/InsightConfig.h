#pragma once

namespace vorn::insight {

// What the analysis warns of: the [insight] section of vorn.conf.
struct InsightConfig {
    bool enabled = true;
    // A slow leak: the 24-hour rate loses more than this, with confidence.
    double slowLeakPsiPerDay = 0.5;
    // A rapid loss: cold pressure fell this much within five minutes.
    double rapidLossPsi = 2.0;
    // A silent sensor: no report for this long while another wheel reports.
    int silentMinutes = 20;
    // Tests only: a silence this many ms long instead, so a run of the real
    // program need not wait minutes. Zero: silentMinutes holds.
    long long silentOverrideMs = 0;

    long long silentMs() const {
        return silentOverrideMs > 0 ? silentOverrideMs : silentMinutes * 60'000LL;
    }
};

} // namespace vorn::insight
