!!ARBfp1.0
# The material colour from local parameter 0.
MOV result.color, program.local[0];
END
