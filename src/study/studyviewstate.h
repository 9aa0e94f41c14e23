#pragma once

// The controls of the study area that the study modes show, hide and fill.

struct StudyViewState {};
