// What a run could not do for a destination and dish, as its log (IDNUMEROERRO) and the report's texts number it.
#pragma once

#include <QString>

namespace suite::server {

enum class Observation : char {
    DishNotInDestination = '1', // the dish is not registered in the destination's tree
    ProductNotEnabled = '2',    // a product of the source's recipe is not enabled at the destination
    ServiceMissing = '3',       // the destination lacks a service of the source's per-service recipe
    DestinationIsSource = '4',  // the source was marked as a destination
    ContractEnded = '5',        // the destination's contract was ended
    NoSourceRecipe = '6',       // the source has no recipe of that kind for the dish
    DishNotInSource = '7',      // the dish is not registered in the source's trees
};

// The code as a value of the log's column.
inline QString observationCode(Observation observation)
{
    return QString(QLatin1Char(char(observation)));
}

// The code as an SQL literal, for the statements that write or select observations.
inline QString sqlLiteral(Observation observation)
{
    return QLatin1Char('\'') + observationCode(observation) + QLatin1Char('\'');
}

} // namespace suite::server
