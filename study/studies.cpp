#include "studies.h"

FlightStudy studyFlight(const BallisticsParams& params,
                        const std::vector<const SchemeInfo*>& schemes, const Progress& progress) {
  FlightStudy study(params);
  for (const SchemeInfo* s : schemes) {
    if (progress) progress("flight, " + std::string(s->name));
    study.runs.push_back(runFlight(study, s));
  }
  return study;
}

SpringStudy studySpring(const SpringMassParams& params,
                        const std::vector<const SchemeInfo*>& schemes, const Progress& progress) {
  SpringStudy study(params);
  for (const SchemeInfo* s : schemes) {
    if (progress) progress("spring, " + std::string(s->name));
    study.runs.push_back(runSpring(study, s));
  }
  return study;
}

std::string prepareConvergence(StudyModel model, const BallisticsParams& flight,
                               const SpringMassParams& spring, float dt, int levels, double& at) {
  ConvergenceSettings settings;
  settings.levels = levels;
  settings.at = at;
  std::optional<Problem> problem;
  if (model == StudyModel::Flight) {
    BallisticsParams p = flight;
    p.timeStep = dt;
    problem = prepareConvergence(FlightCase(p), settings);
  } else {
    SpringMassParams p = spring;
    p.timeStep = dt;
    problem = prepareConvergence(SpringCase(p), settings);
  }
  at = settings.at;
  return problem ? problem->text("--") : "";
}

ConvergenceStudy studyConvergence(StudyModel model, const BallisticsParams& flight,
                                  const SpringMassParams& spring,
                                  const std::vector<const SchemeInfo*>& schemes, float dt,
                                  int levels, double at, bool withDouble,
                                  const Progress& progress) {
  ConvergenceSettings settings;
  settings.levels = levels;
  settings.at = at;
  settings.withDouble = withDouble;
  const std::vector<RunScheme> runSchemes(schemes.begin(), schemes.end());
  if (model == StudyModel::Flight) {
    BallisticsParams p = flight;
    p.timeStep = dt;
    return studyConvergence(FlightCase(p), runSchemes, settings, progress);
  }
  SpringMassParams p = spring;
  p.timeStep = dt;
  return studyConvergence(SpringCase(p), runSchemes, settings, progress);
}
