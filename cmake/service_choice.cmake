# The property service a program runs over. The access layer (camknob_media)
# calls the service, and links whichever service the program that uses it
# names here: so every program, test and benchmark says which one it wants.
function(camknob_runs_over target service)
  set_target_properties(${target} PROPERTIES CAMKNOB_SERVICE ${service})
endfunction()
