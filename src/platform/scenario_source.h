// The stand-in traffic source: serves the live tracks and the parked traffic of a scenario to
// the traffic reader, as the traffic service would. Made by whoever starts the reader.
#pragma once
#include <memory>
#include <vector>

#include "feed/traffic_source.h"
#include "platform/scenario.h"

class ScenarioSource : public TrafficSource {
  public:
    explicit ScenarioSource(std::shared_ptr<const Scenario> scenario);
    // For every track: its last row with t <= runSeconds, unless that row is more than
    // kStaleReportSeconds old, lies outside the area, or runSeconds lies after the track's last
    // row (the track ended).
    void reportsAt(double runSeconds, const TrafficArea& area, std::vector<TrafficReport>& out) override;
    // The scenario's parked aircraft in file order, those within 5 nm of its park airport when it
    // names one; always a list, possibly empty.
    bool parkedTraffic(std::vector<ParkedTrafficRecord>& out) override;
    // The scenario's QNH.
    std::optional<double> nearestQnh() override { return scenario_->qnhHpa; }

  private:
    std::shared_ptr<const Scenario> scenario_;
};
